// Thread-specific WH_GETMESSAGE hooks and CallNextHookEx.
#include "hooks.h"

namespace win32 {

namespace {
// One chain being run on this thread; chains nest when a hook retrieves
// messages itself.
struct ChainFrame {
  std::vector<std::shared_ptr<Hook>> hooks; // last installed first
  size_t position = 0;
};
thread_local std::vector<ChainFrame *> chains;

LRESULT callFrom(ChainFrame &frame, size_t first, int code, WPARAM wParam, LPARAM lParam) {
  for (size_t i = first; i < frame.hooks.size(); ++i) {
    bool removed;
    {
      Lock held(state().mutex);
      removed = frame.hooks[i]->removed;
    }
    if (removed) continue;
    frame.position = i;
    return frame.hooks[i]->procedure(code, wParam, lParam);
  }
  return 0;
}
} // namespace

void runGetMessageHooks(WPARAM removal, MSG *msg) {
  ChainFrame frame;
  {
    Lock held(state().mutex);
    std::shared_ptr<ThreadState> thread = currentThread(held);
    frame.hooks.assign(thread->hooks.rbegin(), thread->hooks.rend());
  }
  if (frame.hooks.empty()) return;
  chains.push_back(&frame);
  callFrom(frame, 0, HC_ACTION, removal, reinterpret_cast<LPARAM>(msg));
  chains.pop_back();
}

} // namespace win32

using namespace win32;

extern "C" {

HHOOK WINAPI SetWindowsHookExA(int hookId, HOOKPROC procedure, HINSTANCE, DWORD threadId) {
  if (hookId != WH_GETMESSAGE) {
    fail(1426); // ERROR_INVALID_HOOK_FILTER
    return nullptr;
  }
  if (!procedure) {
    fail(ERROR_INVALID_FILTER_PROC);
    return nullptr;
  }
  if (threadId == 0) {
    // A global hook needs a module to inject; only thread hooks exist here.
    fail(ERROR_HOOK_NEEDS_HMOD);
    return nullptr;
  }
  Lock held(state().mutex);
  if (injectedFailure(held, "SetWindowsHookExA")) return nullptr;
  State &s = state();
  currentThread(held); // the caller is a known thread too
  auto found = s.threads.find(threadId);
  if (found == s.threads.end()) {
    fail(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto hook = std::make_shared<Hook>();
  hook->id = reinterpret_cast<HHOOK>(s.nextHook);
  s.nextHook += 4;
  hook->procedure = procedure;
  s.hooksById[reinterpret_cast<std::uintptr_t>(hook->id)] = hook;
  found->second->hooks.push_back(hook);
  return hook->id;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK id) {
  Lock held(state().mutex);
  State &s = state();
  auto found = s.hooksById.find(reinterpret_cast<std::uintptr_t>(id));
  if (found == s.hooksById.end()) {
    fail(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  std::shared_ptr<Hook> hook = found->second;
  s.hooksById.erase(found);
  hook->removed = true;
  for (auto &entry : s.threads) {
    auto &hooks = entry.second->hooks;
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
      if (*it == hook) {
        hooks.erase(it);
        return TRUE;
      }
    }
  }
  return TRUE;
}

LRESULT WINAPI CallNextHookEx(HHOOK, int code, WPARAM wParam, LPARAM lParam) {
  // As on current Windows, the handle argument is ignored: the chain being
  // run on this thread says which hook comes next.
  if (chains.empty()) return 0;
  ChainFrame &frame = *chains.back();
  size_t position = frame.position;
  LRESULT result = callFrom(frame, position + 1, code, wParam, lParam);
  frame.position = position;
  return result;
}

} // extern "C"
