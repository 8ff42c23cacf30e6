// What the tests that load MEX libraries through the session host share: a
// working folder of the test's own (the QCam libraries write their call log
// into the working folder), and where the libraries are found.
#ifndef CAMERA_TESTS_SUPPORT_SCRATCH_FOLDER_H
#define CAMERA_TESTS_SUPPORT_SCRATCH_FOLDER_H

#include "matlab_session.h"
#include "process_temp_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

// Enter() makes a fresh folder named after the running test and this
// process, and works in it; leave() goes back to where the test started and
// removes the folder.
class ScratchFolder {
public:
  void enter(const std::string &prefix) {
    start_ = std::filesystem::current_path();
    // Parameterised tests are named "Case/N": one folder, not two levels.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '-');
    path_ = processTempPath(prefix + "-" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
  }

  void leave() {
    std::filesystem::current_path(start_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path &start() const { return start_; }
  const std::filesystem::path &path() const { return path_; }

  // The build names the libraries' folder, except where Windows finds them
  // beside the test program, which is where the test started.
  void addLibraryPath(mexhost::Session &session) const {
#ifdef MEX_DIR
    session.addPath(MEX_DIR);
#else
    session.addPath(start_.string());
#endif
  }

private:
  std::filesystem::path start_, path_;
};

#endif
