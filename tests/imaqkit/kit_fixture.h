// Shared set-up of the kit's tests: the fake adaptor loaded fresh for each
// test, and the checks that every test leaves nothing behind.
#ifndef IMAQKIT_TESTS_KIT_FIXTURE_H
#define IMAQKIT_TESTS_KIT_FIXTURE_H

#include "fake_adaptor_control.h"
#include "imaqkit_engine.h"
#include "imaqkit_test_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

constexpr std::chrono::seconds patience{10};

class Kit : public ::testing::Test {
protected:
  void SetUp() override {
    fake::reset();
    imaqkit::clearWarnings();
    imaqkit::test::stopFailingAllocations();
    blocks_ = imaqkit::test::liveBlocks();
    library_ = std::make_unique<imaqkit::AdaptorLibrary>(FAKE_ADAPTOR_FILE);
  }

  void TearDown() override {
    library_.reset();
    imaqkit::test::stopFailingAllocations();
    EXPECT_EQ(imaqkit::test::liveBlocks(), blocks_) << "imaqmalloc blocks leaked";
    EXPECT_EQ(imaqkit::test::liveManagers(), 0);
    EXPECT_EQ(fake::listenersAlive(), 0);
    EXPECT_EQ(fake::adaptorsConstructed(), fake::adaptorsDestroyed());
  }

  std::unique_ptr<imaqkit::AdaptorLibrary> library_;
  long blocks_ = 0;
};

inline long count(const std::vector<std::string> &log, const std::string &entry) {
  return static_cast<long>(std::count(log.begin(), log.end(), entry));
}

/* Whether expected occurs in log in this order, other entries between. */
inline bool inOrder(const std::vector<std::string> &log, const std::vector<std::string> &expected) {
  auto at = log.begin();
  for (const std::string &entry : expected) {
    at = std::find(at, log.end(), entry);
    if (at == log.end()) return false;
    ++at;
  }
  return true;
}

/* The part of log after its last entry equal to mark. */
inline std::vector<std::string> after(const std::vector<std::string> &log, const std::string &mark) {
  auto last = std::find(log.rbegin(), log.rend(), mark);
  return std::vector<std::string>(last.base(), log.end());
}

#endif
