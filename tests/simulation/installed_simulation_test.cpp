// The installed toolbox on its simulated cameras, as useSimulatedCameras
// sets them up in MATLAB: camsim loaded from the toolbox's simulation
// folder brings the simulated Andor driver beside it into the process, and
// MEX files loaded afterwards from the toolbox's root, where no driver lies,
// bind to that driver. The toolbox was installed into SIMULATION_PREFIX
// before this program runs; this program links no driver of its own.
#include "matlab_session.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path prefix = SIMULATION_PREFIX;
const fs::path simulation = prefix / "simulation";

#if defined(_WIN32)
const char *const andorDriver = "ATMCD32D.dll";
#else
const char *const andorDriver = "libATMCD32D.so";
#endif

// The Andor driver the process has loaded, by the module name every
// library imports: its file.
struct LoadedDriver {
  fs::path file;

  static LoadedDriver find() {
    LoadedDriver driver;
#if defined(_WIN32)
    HMODULE module = GetModuleHandleA(andorDriver);
    char name[MAX_PATH] = "";
    if (module != nullptr && GetModuleFileNameA(module, name, sizeof name) > 0) driver.file = name;
#else
    void *module = dlopen(andorDriver, RTLD_LAZY | RTLD_NOLOAD);
    Dl_info info{};
    void *symbol = module != nullptr ? dlsym(module, "andorSimCallLogCount") : nullptr;
    if (symbol != nullptr && dladdr(symbol, &info) != 0) driver.file = info.dli_fname;
    if (module != nullptr) dlclose(module); // the NOLOAD reference only
#endif
    return driver;
  }
};

class InstalledSimulationTest : public ::testing::Test {
protected:
  void SetUp() override {
#if defined(_WIN32)
    // MATLAB's process has its own libraries loaded before any MEX file,
    // which finds them by name; this program plays MATLAB, with them beside it.
    ASSERT_NE(LoadLibraryA("libmx.dll"), nullptr);
    ASSERT_NE(LoadLibraryA("libmex.dll"), nullptr);
#endif
  }

  void TearDown() override {
    // A Windows driver must not be unloaded with acquisitions running.
    camsim({session.text("andorReset")}, 0);
    const mexhost::SessionReport report = session.close();
    EXPECT_TRUE(report.leaked.empty()) << "leaked arrays " << report.leaked.arrays;
  }

  // A command of the installed camsim; its answer, when nlhs is 1.
  mexhost::Value camsim(const std::vector<mexhost::Value> &inputs, int nlhs = 1) {
    const mexhost::CallResult result = session.call((simulation / "camsim").string(), inputs, nlhs);
    EXPECT_TRUE(result.ok) << "camsim: " << result.errorMessage;
    return result.ok && !result.outputs.empty() ? result.outputs[0] : mexhost::Value();
  }

  // The driver calls since the last look, as camsim reads them from the log.
  std::vector<std::string> newCalls() {
    std::vector<std::string> lines;
    mexhost::Value log = camsim({session.text("andorCallLog")});
    for (size_t i = 0; log && i < mxGetNumberOfElements(log.get()); ++i) {
      char text[256] = "";
      mxGetString(mxGetCell(log.get(), i), text, sizeof text);
      lines.push_back(text);
    }
    camsim({session.text("andorClearCallLog")}, 0);
    return lines;
  }

  double andorField(double handle, const char *field) {
    mexhost::Value state = camsim({session.text("andorCamera"), session.number(handle)});
    const mxArray *value = state ? mxGetField(state.get(), 0, field) : nullptr;
    return value != nullptr ? mxGetScalar(value) : -1;
  }

  mexhost::CallResult toolbox(const std::string &name, const std::vector<mexhost::Value> &inputs, int nlhs) {
    return session.call((prefix / name).string(), inputs, nlhs);
  }

  mexhost::Session session;
};

TEST_F(InstalledSimulationTest, ToolboxMexFilesBindToTheSimulatedDriverCamsimLoaded) {
  ASSERT_TRUE(fs::exists(simulation / andorDriver)) << "not installed: " << (simulation / andorDriver);
  ASSERT_FALSE(fs::exists(prefix / andorDriver)) << "a driver lies beside the MEX files";
  ASSERT_TRUE(LoadedDriver::find().file.empty()) << "a driver was loaded before camsim";

  camsim({session.text("andorReset")}, 0);
  const LoadedDriver driver = LoadedDriver::find();
  ASSERT_FALSE(driver.file.empty()) << "camsim loaded no " << andorDriver;
  EXPECT_TRUE(fs::equivalent(driver.file, simulation / andorDriver))
      << "camsim loaded " << driver.file << ", not the one beside it";

  // Camera 100 is the driver's current one; 4242 acquires, 16 by 8.
  camsim({session.text("andorAddCamera"), session.number(100), session.number(32), session.number(32)}, 0);
  camsim({session.text("andorAddCamera"), session.number(4242), session.number(16), session.number(8)}, 0);
  EXPECT_EQ(camsim({session.text("andorStart"), session.number(4242)}).scalar(), 20002);
  camsim({session.text("andorSelect"), session.number(100)});

  int callbacks = 0;
  mexhost::Value camera = session.object("AndorCamera", {{"cameraHandle", session.number(4242)},
                                                         {"expectedM", session.number(8)},
                                                         {"expectedN", session.number(16)}});
  mexhost::Value callback = session.functionHandle([&callbacks](const std::vector<const mxArray *> &, int) {
    ++callbacks;
    return std::vector<mexhost::Value>{};
  });

  newCalls();
  mexhost::CallResult watched = toolbox("watchDriverSignal", {camera, callback}, 0);
  ASSERT_TRUE(watched.ok) << watched.errorMessage;
  EXPECT_EQ(newCalls(), (std::vector<std::string>{"selectCamera(4242)", "setDriverEvent(ptr)"}));
  EXPECT_EQ(camsim({session.text("andorCurrentCamera")}).scalar(), 4242);
  EXPECT_EQ(andorField(4242, "hasEvent"), 1);

  // An image the simulator makes reaches the callback through the event the
  // installed watchDriverSignal gave it, and the installed takeEarliest
  // reads it from the same driver: its number is in its first two pixels.
  EXPECT_EQ(camsim({session.text("andorProduce"), session.number(4242), session.number(1)}).scalar(), 1);
  EXPECT_TRUE(session.runUntil([&] { return callbacks >= 1; }, std::chrono::seconds(5)));
  EXPECT_EQ(callbacks, 1);
  newCalls();
  mexhost::CallResult taken = toolbox("takeEarliest", {camera, session.number(16)}, 1);
  ASSERT_TRUE(taken.ok) << taken.errorMessage;
  ASSERT_EQ(taken.outputs.size(), 1u);
  EXPECT_EQ(taken.outputs[0].className(), "int16");
  ASSERT_EQ(taken.outputs[0].elements(), 128u);
  const int16_t *pixels = static_cast<const int16_t *>(mxGetData(taken.outputs[0].get()));
  EXPECT_EQ(pixels[0], 1);
  EXPECT_EQ(pixels[1], 0);
  EXPECT_EQ(newCalls(), (std::vector<std::string>{"readOldestImage16(ptr, 128)"}));
  EXPECT_EQ(andorField(4242, "read"), 1);

  newCalls();
  mexhost::CallResult cleared = toolbox("watchDriverSignal", {camera}, 0);
  ASSERT_TRUE(cleared.ok) << cleared.errorMessage;
  EXPECT_EQ(newCalls(), (std::vector<std::string>{"selectCamera(4242)", "setDriverEvent(0)"}));
  EXPECT_EQ(andorField(4242, "hasEvent"), 0);
}

} // namespace
