// A process whose Andor driver is the vendor's, loaded before the toolbox's
// simulation folder was asked for (a camera function ran first): camsim
// refuses to run, since the driver of that module name lacks the
// simulator's controls (Windows fails its load; Wine, which binds missing
// imports to stubs, leaves it to camsim's own check); the session goes on,
// and the toolbox's MEX files stay bound to the vendor's driver. useSimulatedCameras turns the failed load
// into its refusal. The toolbox was installed into SIMULATION_PREFIX before this program runs; VENDOR_DRIVER
// is the stand-in for the vendor's driver.
#include "matlab_session.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path prefix = SIMULATION_PREFIX;

TEST(VendorDriverLoaded, CamsimDoesNotLoadAndTheToolboxKeepsTheVendorsDriver) {
#if defined(_WIN32)
  ASSERT_NE(LoadLibraryA("libmx.dll"), nullptr);
  ASSERT_NE(LoadLibraryA("libmex.dll"), nullptr);
  ASSERT_NE(LoadLibraryA(VENDOR_DRIVER), nullptr) << VENDOR_DRIVER;
#else
  ASSERT_NE(dlopen(VENDOR_DRIVER, RTLD_NOW | RTLD_GLOBAL), nullptr) << dlerror();
#endif
  mexhost::Session session;

  const mexhost::CallResult control =
      session.call((prefix / "simulation" / "camsim").string(), {session.text("andorCurrentCamera")}, 1);
  EXPECT_FALSE(control.ok) << "camsim ran against the vendor's driver";
  EXPECT_FALSE(control.errorMessage.empty());
  std::printf("camsim did not load: %s\n", control.errorMessage.c_str());

  mexhost::Value camera = session.object("AndorCamera", {{"cameraHandle", session.number(100)},
                                                         {"expectedM", session.number(8)},
                                                         {"expectedN", session.number(16)}});
  const mexhost::CallResult taken =
      session.call((prefix / "takeEarliest").string(), {camera, session.number(16)}, 1);
  EXPECT_FALSE(taken.ok);
  EXPECT_EQ(taken.errorMessage, "ERROR in takeEarliest call. Status code 20075 was returned");

  const mexhost::SessionReport report = session.close();
  EXPECT_TRUE(report.leaked.empty()) << "leaked arrays " << report.leaked.arrays;
}

} // namespace
