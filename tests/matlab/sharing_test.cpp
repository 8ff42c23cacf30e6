// MATLAB shares arrays: a callback's inputs are shared copies of what the
// library handed it, and what the callback keeps shares them too. A library
// may let go of what it handed over, never change it; an array is in one
// container at most.
#include <vector>

#include "testmex_fixture.h"

using mexhost::Value;

namespace {

std::vector<double> valueOf(const mxArray *handed) {
  const mxArray *value = mxGetField(handed, 0, "value");
  const double *elements = mxGetPr(value);
  return std::vector<double>(elements, elements + mxGetNumberOfElements(value));
}

} // namespace

class Sharing : public TestMex {
protected:
  std::vector<Value> kept;
  // A callback that keeps its last argument, as last = s does.
  Value keeper() {
    return session.functionHandle([this](const std::vector<const mxArray *> &args, int) {
      kept.push_back(session.share(args.back()));
      return std::vector<Value>{};
    });
  }
  Value ignorer() {
    return session.functionHandle([](auto &, int) { return std::vector<Value>{}; });
  }
};

TEST_F(Sharing, WhatACallbackKeptStaysWholeWhenTheLibraryDestroysItsOwn) {
  ok("handAndDestroy", {keeper()});
  ASSERT_EQ(kept.size(), 1u);
  ASSERT_TRUE(kept[0]);
  EXPECT_EQ(valueOf(kept[0].get()), (std::vector<double>{1, 2, 3, 4}));
  EXPECT_TRUE(session.memory().empty()) << "what the callback kept is MATLAB's, not the library's";
  kept.clear();
  EXPECT_TRUE(session.close().host.empty()) << "and goes with the callback's copy";
}

TEST_F(Sharing, ALibraryMayChangeWhatItHandedOnceNothingSharesIt) {
  ok("handAndWrite", {ignorer()});
  ok("handAndSetField", {ignorer()});
  ok("drop");
}

#if !defined(_WIN32)
using SharingDeathTest = Sharing;

TEST_F(SharingDeathTest, ChangingWhatACallbackKeptStopsTheProcess) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_DEATH(run(0, "handAndSetField", {keeper()}), "mxSetField changes an array that MATLAB code shares");
  EXPECT_DEATH(run(0, "handAndWrite", {keeper()}),
               "changed the elements of an array that MATLAB code shares");
}

TEST_F(SharingDeathTest, WritingIntoAnInputStopsTheProcess) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_DEATH(run(0, "writeInput", {session.number(3)}),
               "changed the elements of an array that MATLAB code shares");
}

TEST_F(SharingDeathTest, AnArrayInTwoContainersOrPersistentInsideOneStopsTheProcess) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  EXPECT_DEATH(run(1, "twoCells"), "mxSetCell was given an array that is already inside a container");
  EXPECT_DEATH(run(0, "persistInside"), "mexMakeArrayPersistent was given an array inside a container");
  EXPECT_DEATH(run(0, "destroyInside"), "mxDestroyArray was given an array inside a container");
}
#endif
