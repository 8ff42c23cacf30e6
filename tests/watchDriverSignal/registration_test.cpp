// Registering, clearing and calling back, as MATLAB code sees it.
#include "watch_fixture.h"

#include <algorithm>

namespace {

using Test = WatchDriverSignalTest;

TEST_F(Test, CallsTheCallbackWithTheCameraObjectAndAnEmptyStruct) {
  CallbackCalls calls;
  mustWatch({camera(3), recorder(calls)});
  EXPECT_NE(driverEvent(3), nullptr) << "the camera was given an event";
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  EXPECT_EQ(calls.arguments, 2);
  EXPECT_EQ(calls.nargout, 0);
  EXPECT_EQ(calls.tags, std::vector<std::string>{"first"});
  EXPECT_EQ(calls.secondClass, mxSTRUCT_CLASS);
  EXPECT_EQ(calls.secondRows, 0u);
  EXPECT_EQ(calls.secondColumns, 0u);
  EXPECT_EQ(calls.secondFields, 0);
  const std::vector<std::string> log = callLog();
  // The callback runs with its camera selected.
  const std::vector<std::string> expected = {"selectCamera(3)", "setDriverEvent(ptr)", "selectCamera(3)"};
  EXPECT_EQ(log, expected);
}

// What a callback keeps of its arguments (MATLAB shares them) stays whole
// through later events, the clear of its registration and of the library.
TEST_F(Test, ArgumentsACallbackKeptStayWhole) {
  std::vector<mexhost::Value> kept;
  const mexhost::Value keeping = session.functionHandle([&](const std::vector<const mxArray *> &args, int) {
    for (const mxArray *arg : args) kept.push_back(session.share(arg));
    return std::vector<mexhost::Value>{};
  });
  mustWatch({camera(3, "kept"), keeping});
  for (size_t events = 1; events <= 3; ++events) {
    andorSimProduceImages(3, 1);
    ASSERT_TRUE(session.runUntil([&] { return kept.size() >= 2 * events; }, std::chrono::seconds(5)));
  }
  mustWatch({camera(3)});
  EXPECT_TRUE(session.clear("watchDriverSignal").cleared);
  ASSERT_EQ(kept.size(), 6u);
  for (size_t i = 0; i < kept.size(); i += 2) {
    char tag[16] = "";
    mxGetString(mxGetProperty(kept[i].get(), 0, "tag"), tag, sizeof tag);
    EXPECT_STREQ(tag, "kept") << "event " << i / 2;
    EXPECT_EQ(kept[i + 1].classId(), mxSTRUCT_CLASS);
    EXPECT_EQ(kept[i + 1].elements(), 0u);
  }
}

TEST_F(Test, ClearStopsCallsAndReRegisterReusesTheRecord) {
  CallbackCalls first, second;
  mustWatch({camera(3, "first"), recorder(first)});
  const mexhost::MemoryCount registered = keptByLibrary();

  andorSimClearCallLog();
  mustWatch({camera(3)});
  EXPECT_EQ(driverEvent(3), nullptr) << "the event was taken back from the driver";
  const std::vector<std::string> log = callLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
            (std::vector<std::string>{"selectCamera(3)", "setDriverEvent(0)"}));
  andorSimProduceImages(3, 1);
  session.pumpMessages();
  EXPECT_EQ(first.count, 0);

  // The camera object of the first registration is kept; the new one is not.
  mustWatch({camera(3, "second"), recorder(second)});
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(second, 1));
  EXPECT_EQ(second.tags, std::vector<std::string>{"first"});
  EXPECT_EQ(first.count, 0);
  const mexhost::MemoryCount again = keptByLibrary();
  EXPECT_EQ(again.arrays, registered.arrays);
  EXPECT_EQ(again.blocks, registered.blocks) << "no second record";
}

TEST_F(Test, RegisteringTwiceReplacesTheCallback) {
  CallbackCalls first, second;
  mustWatch({camera(3), recorder(first)});
  mustWatch({camera(3), recorder(second)});
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(second, 1));
  session.pumpMessages();
  EXPECT_EQ(first.count, 0);
}

TEST_F(Test, AnEmptySecondArgumentClearsLikeNone) {
  CallbackCalls calls;
  mustWatch({camera(3), recorder(calls)});
  mustWatch({camera(3), session.empty()});
  EXPECT_EQ(driverEvent(3), nullptr);
  andorSimProduceImages(3, 1);
  session.pumpMessages();
  EXPECT_EQ(calls.count, 0);
}

TEST_F(Test, ClearingAnUnknownCameraDoesNothing) {
  mustWatch({camera(101)});
  EXPECT_EQ(session.commandWindow(), "");
  EXPECT_TRUE(callLog().empty());
}

TEST_F(Test, AFractionalHandleIsTruncated) {
  CallbackCalls calls;
  mustWatch({camera(3.7), recorder(calls)});
  EXPECT_NE(driverEvent(3), nullptr);
  andorSimProduceImages(3, 1);
  EXPECT_TRUE(waitForCalls(calls, 1));
}

// The driver's handles are any 32-bit values: one with the top bit set is
// the double -2147483648 in MATLAB and must reach the driver as it gave it.
TEST_F(Test, AHandleWithTheTopBitSetReachesTheDriverUnchanged) {
  const int32_t topBit = INT32_MIN;
  ASSERT_EQ(andorSimAddCamera(topBit, 16, 8), ANDOR_STATUS_SUCCESS);
  selectCamera(topBit);
  startAcquisition();
  andorSimClearCallLog();
  CallbackCalls calls;
  mustWatch({camera(-2147483648.0, "top"), recorder(calls)});
  EXPECT_NE(driverEvent(topBit), nullptr);
  andorSimProduceImages(topBit, 1);
  EXPECT_TRUE(waitForCalls(calls, 1));
  mustWatch({camera(-2147483648.0, "top")});
  EXPECT_EQ(driverEvent(topBit), nullptr);
  // Each registration, each clear and each dispatched event may select the
  // camera; however many there were, every one names the handle whole.
  std::vector<std::string> selections;
  for (const std::string &call : callLog())
    if (call.rfind("selectCamera(", 0) == 0) selections.push_back(call);
  EXPECT_GE(selections.size(), 2u) << "registered and cleared";
  for (const std::string &call : selections) EXPECT_EQ(call, "selectCamera(-2147483648)");
}

TEST_F(Test, EachCameraCallsItsOwnCallback) {
  CallbackCalls three, other;
  mustWatch({camera(3, "three"), recorder(three)});
  mustWatch({camera(101, "other"), recorder(other)});
  andorSimProduceImages(101, 1);
  ASSERT_TRUE(waitForCalls(other, 1));
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(three, 1));
  EXPECT_EQ(three.tags, std::vector<std::string>{"three"});
  EXPECT_EQ(other.tags, std::vector<std::string>{"other"});
}

TEST_F(Test, EventsQueuedBeforeAClearCallNothing) {
  CallbackCalls calls;
  mustWatch({camera(3), recorder(calls)});
  andorSimProduceImages(3, 3);
  ASSERT_TRUE(waitForQueuedMessage());
  mustWatch({camera(3)});
  session.pumpMessages();
  EXPECT_EQ(calls.count, 0);
}

TEST_F(Test, ACallbackErrorIsPrintedAndTheNextEventCallsAgain) {
  CallbackCalls calls;
  mustWatch({camera(3), recorder(calls, "Widget exploded")});
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  EXPECT_EQ(session.commandWindow(), "ERROR in event callback of AndorCamera object: Widget exploded\n");
  andorSimProduceImages(3, 1);
  EXPECT_TRUE(waitForCalls(calls, 2));
}

TEST_F(Test, ALongErrorMessageIsCutTo255Characters) {
  CallbackCalls calls;
  const std::string message(300, 'x');
  mustWatch({camera(3), recorder(calls, message)});
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  EXPECT_EQ(session.commandWindow(),
            "ERROR in event callback of AndorCamera object: " + std::string(255, 'x') + "\n");
}

TEST_F(Test, ClearingTheLibraryWithCallbacksAndQueuedEventsLeavesNothing) {
  CallbackCalls three, other;
  // A second library with the bridge: its hook would take our queued events.
  ASSERT_TRUE(session.call("asyncMexProbeA", {session.text("init"), session.number(1)}, 0).ok);
  mustWatch({camera(3), recorder(three)});
  mustWatch({camera(101), recorder(other)});
  andorSimProduceImages(3, 2);
  andorSimProduceImages(101, 2);
  ASSERT_TRUE(waitForQueuedMessage());
  mexhost::ClearReport report = session.clear("watchDriverSignal");
  EXPECT_TRUE(report.cleared);
  EXPECT_TRUE(report.exitRoutineRan);
  EXPECT_TRUE(report.leaked.empty()) << "arrays " << report.leaked.arrays << ", blocks "
                                     << report.leaked.blocks;
  EXPECT_EQ(driverEvent(3), nullptr);
  EXPECT_EQ(driverEvent(101), nullptr);
  session.pumpMessages();
  EXPECT_EQ(three.count + other.count, 0);

  // Loaded again, it starts afresh.
  CallbackCalls again;
  mustWatch({camera(3, "again"), recorder(again)});
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(again, 1));
  EXPECT_EQ(again.tags, std::vector<std::string>{"again"});
}

TEST_F(Test, TwoBridgeLibrariesInOneSessionEachGetTheirEvents) {
  CallbackCalls calls;
  ASSERT_TRUE(session.call("asyncMexProbeA", {session.text("init"), session.number(1)}, 0).ok);
  mustWatch({camera(3), recorder(calls)});
  ASSERT_TRUE(session
                  .call("asyncMexProbeA",
                        {session.text("post"), session.number(0), session.number(9), session.number(2)}, 0)
                  .ok);
  andorSimProduceImages(3, 1);
  ASSERT_TRUE(waitForCalls(calls, 1));
  session.pumpMessages();
  EXPECT_EQ(std::count(session.printed().begin(), session.printed().end(), "asyncMexProbeA dispatch 0 9\n"),
            2);
  EXPECT_EQ(calls.count, 1);
}

} // namespace

namespace {

// Two cameras watched at once, each callback reading its image with
// takeEarliest, which reads the driver's current camera: the dispatch of a
// camera's event makes that camera current, whatever was selected last.
TEST_F(WatchDriverSignalTest, EachCallbackReadsItsOwnCamerasImageWithTakeEarliest) {
  selectCamera(101);
  abortAcquisition();
  ASSERT_EQ(andorSimSetFirstImageNumber(101, 500000), ANDOR_STATUS_SUCCESS);
  startAcquisition();
  std::vector<std::pair<int32_t, uint32_t>> reads; // camera of the callback, image number read
  auto reader = [&](int32_t handle) {
    return session.functionHandle([&, handle](const std::vector<const mxArray *> &args, int) {
      const mexhost::Value size = session.numbers(mxDOUBLE_CLASS, 1, 2, {8, 16});
      const mexhost::Value depth = session.number(16);
      mexhost::CallResult image = session.call("takeEarliest", {args[0], depth.get(), size.get()}, 1);
      EXPECT_TRUE(image.ok) << image.errorMessage;
      if (image.ok) {
        const uint16_t *pixels = static_cast<const uint16_t *>(mxGetData(image.outputs[0].get()));
        reads.emplace_back(handle, pixels[0] | (uint32_t(pixels[1]) << 16));
      }
      return std::vector<mexhost::Value>{};
    });
  };
  mustWatch({camera(3), reader(3)});
  mustWatch({camera(101), reader(101)});
  for (int round = 0; round < 3; ++round) {
    andorSimProduceImages(3, 1);
    andorSimProduceImages(101, 1);
    // The other camera was selected last: the registration, or the driver
    // calls of this test.
    selectCamera(round % 2 == 0 ? 101 : 3);
    ASSERT_TRUE(
        session.runUntil([&] { return reads.size() >= size_t(2 * (round + 1)); }, std::chrono::seconds(5)));
  }
  std::vector<uint32_t> three, other;
  for (const auto &[handle, number] : reads) (handle == 3 ? three : other).push_back(number);
  EXPECT_EQ(three, (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(other, (std::vector<uint32_t>{500000, 500001, 500002}));
  mustWatch({camera(3)});
  mustWatch({camera(101)});
}

} // namespace
