// Modules: references keep a library loaded until the last is freed; a
// pinned library stays, with its state, whatever is freed.
#include "win32_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using ProbeCount = int (*)(void);

// GetModuleHandleExA takes any address inside a library in place of a name.
LPCSTR addressIn(ProbeCount function) {
  return reinterpret_cast<LPCSTR>(reinterpret_cast<void (*)(void)>(function));
}

ProbeCount probeCount(HMODULE module) {
  return reinterpret_cast<ProbeCount>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(module, "moduleProbeCount")));
}

bool loadedAt(ProbeCount function) {
  HMODULE module = nullptr;
  return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            addressIn(function), &module) != FALSE;
}

TEST(Modules, ALibraryStaysUntilItsLastReferenceIsFreed) {
  HMODULE loaded = LoadLibraryA(MODULE_PROBE_A);
  ASSERT_NE(loaded, nullptr);
  ProbeCount count = probeCount(loaded);
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count(), 1);

  HMODULE found = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                     GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 addressIn(count), &found));
  EXPECT_EQ(found, loaded);
  HMODULE referenced = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, addressIn(count), &referenced));
  EXPECT_EQ(referenced, loaded);

  ASSERT_TRUE(FreeLibrary(loaded));
  ASSERT_TRUE(loadedAt(count)) << "the lookup's reference holds it";
  EXPECT_EQ(count(), 2);
  ASSERT_TRUE(FreeLibrary(referenced));
  SetLastError(0);
  found = loaded;
  EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                  addressIn(count), &found));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(found, nullptr);

  HMODULE again = LoadLibraryA(MODULE_PROBE_A);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(probeCount(again)(), 1) << "loaded afresh";
  FreeLibrary(again);
}

TEST(Modules, APinnedLibraryStaysWithItsStateThroughAnyFree) {
  HMODULE loaded = LoadLibraryA(MODULE_PROBE_B);
  ASSERT_NE(loaded, nullptr);
  ProbeCount count = probeCount(loaded);
  EXPECT_EQ(count(), 1);
  HMODULE pinned = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                 addressIn(count), &pinned));
  EXPECT_EQ(pinned, loaded);
  EXPECT_TRUE(FreeLibrary(loaded));
  ASSERT_TRUE(loadedAt(count));
  HMODULE again = LoadLibraryA(MODULE_PROBE_B);
  EXPECT_EQ(again, loaded);
  EXPECT_EQ(probeCount(again)(), 2) << "the same library, not a fresh load";
  FreeLibrary(again);
}

TEST(Modules, LookupsThatCannotSucceedFail) {
  HMODULE module = reinterpret_cast<HMODULE>(1);
  SetLastError(0);
  EXPECT_FALSE(GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, nullptr, &module))
      << "a pin takes a reference";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  auto heap = std::make_unique<int>(0);
  SetLastError(0);
  EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                  reinterpret_cast<LPCSTR>(heap.get()), &module));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(module, nullptr);
  EXPECT_EQ(LoadLibraryA("no_such_library_here.dll"), nullptr);
}

} // namespace
