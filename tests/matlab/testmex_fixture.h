// A session with the test MEX library at hand.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "matlab_session.h"

class TestMex : public ::testing::Test {
protected:
  mexhost::Session session;

  TestMex() {
#if defined(TESTMEX_DIR)
    session.addPath(TESTMEX_DIR); // so the programs also run outside the build folder
#endif
  }

  // testmex(command, inputs...) asking for nlhs outputs.
  mexhost::CallResult run(int nlhs, const std::string &command, std::vector<mexhost::Value> inputs = {}) {
    inputs.insert(inputs.begin(), session.text(command));
    return session.call("testmex", inputs, nlhs);
  }

  // The same, for a call that must succeed; returns its first output.
  mexhost::Value value(const std::string &command, std::vector<mexhost::Value> inputs = {}) {
    mexhost::CallResult result = run(1, command, std::move(inputs));
    EXPECT_TRUE(result.ok) << command << ": " << result.errorMessage;
    return result.outputs.empty() ? mexhost::Value() : result.outputs[0];
  }

  void ok(const std::string &command, std::vector<mexhost::Value> inputs = {}) {
    mexhost::CallResult result = run(0, command, std::move(inputs));
    EXPECT_TRUE(result.ok) << command << ": " << result.errorMessage;
  }

  mexhost::LibraryMemory memoryOf(const std::string &library) {
    for (const mexhost::LibraryMemory &entry : session.memory())
      if (entry.library == library && entry.loaded) return entry;
    return mexhost::LibraryMemory();
  }
};
