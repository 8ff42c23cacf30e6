// Loading, calling, errors, clearing, locking and printing.
#include "testmex_fixture.h"

using mexhost::CallResult;
using mexhost::ClearReport;
using mexhost::Value;

TEST_F(TestMex, LoadsOnFirstCallAndKeepsFileScopeStateUntilCleared) {
  EXPECT_FALSE(session.isLoaded("testmex"));
  EXPECT_EQ(value("count").scalar(), 1.0);
  EXPECT_TRUE(session.isLoaded("testmex"));
  EXPECT_EQ(value("count").scalar(), 2.0);
  EXPECT_EQ(value("name").text(), "testmex");

  ClearReport report = session.clear("testmex");
  EXPECT_TRUE(report.cleared);
  EXPECT_FALSE(report.exitRoutineRan);
  EXPECT_FALSE(session.isLoaded("testmex"));
  // Unloaded for real: the next load starts with fresh file-scope state.
  EXPECT_EQ(value("count").scalar(), 1.0);

  EXPECT_EQ(session.clear("nosuch").reason, "not loaded");
}

TEST_F(TestMex, CallsByPathAndReportsMissingOrInvalidLibraries) {
  EXPECT_EQ(value("count").scalar(), 1.0);
  // The same library by path is the loaded one, not a second copy.
  CallResult byPath = session.call("./testmex", {session.text("count")}, 1);
  ASSERT_TRUE(byPath.ok) << byPath.errorMessage;
  EXPECT_EQ(byPath.outputs[0].scalar(), 2.0);

  CallResult missing = session.call("noSuchMex");
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.errorIdentifier, "MATLAB:UndefinedFunction");
  EXPECT_EQ(missing.errorMessage, "Undefined function 'noSuchMex' for input arguments.");
}

TEST_F(TestMex, ErrorsEndTheCallWithTheirTextAndIdentifier) {
  CallResult plain = run(0, "error", {session.text("Bad argument: 'x'")});
  EXPECT_FALSE(plain.ok);
  EXPECT_EQ(plain.errorMessage, "Bad argument: 'x'");
  EXPECT_EQ(plain.errorIdentifier, "");

  CallResult withId = run(0, "errorId", {session.text("testmex:bad"), session.text("broken")});
  EXPECT_FALSE(withId.ok);
  EXPECT_EQ(withId.errorMessage, "broken (code 42)");
  EXPECT_EQ(withId.errorIdentifier, "testmex:bad");
  EXPECT_TRUE(withId.outputs.empty());

  // The library is still loaded and usable after an error.
  EXPECT_EQ(value("count").scalar(), 3.0);
}

TEST_F(TestMex, OutputsAreTheCallersAndMissingOnesAreAnError) {
  Value input = session.numbers(mxUINT16_CLASS, 2, 3, {1, 2, 3, 4, 5, 6});
  CallResult echoed = run(2, "echo", {input, session.text("second")});
  ASSERT_TRUE(echoed.ok) << echoed.errorMessage;
  ASSERT_EQ(echoed.outputs.size(), 2u);
  EXPECT_EQ(echoed.outputs[0].classId(), mxUINT16_CLASS);
  EXPECT_EQ(echoed.outputs[0].rows(), 2u);
  EXPECT_EQ(echoed.outputs[0].columns(), 3u);
  EXPECT_NE(echoed.outputs[0].get(), input.get());
  EXPECT_EQ(static_cast<const uint16_t *>(mxGetData(echoed.outputs[0].get()))[5], 6);
  EXPECT_EQ(echoed.outputs[1].text(), "second");

  CallResult unassigned = run(2, "count");
  EXPECT_FALSE(unassigned.ok);
  EXPECT_EQ(unassigned.errorIdentifier, "MATLAB:unassignedOutputs");

  // With no output asked for, a first output still comes back (as "ans").
  CallResult ans = run(0, "count");
  ASSERT_TRUE(ans.ok);
  ASSERT_EQ(ans.outputs.size(), 1u);
  EXPECT_EQ(ans.outputs[0].scalar(), 3.0);
}

TEST_F(TestMex, ExitRoutineRunsAtClearBeforeUnloading) {
  ok("atexit");
  ok("keep", {session.number(5)});
  session.clearCommandWindow();
  ClearReport report = session.clear("testmex");
  EXPECT_TRUE(report.cleared);
  EXPECT_TRUE(report.exitRoutineRan);
  EXPECT_TRUE(report.exitError.empty());
  EXPECT_EQ(session.commandWindow(), "testmex exit routine\n");
  EXPECT_TRUE(report.leaked.empty());

  // The routine belonged to that load: a fresh load has none registered.
  EXPECT_EQ(value("count").scalar(), 1.0);
  EXPECT_FALSE(session.clear("testmex").exitRoutineRan);
}

TEST_F(TestMex, LockedLibraryStaysUntilUnlocked) {
  ok("lock");
  ok("lock");
  EXPECT_EQ(value("isLocked").scalar(), 1.0);
  ClearReport locked = session.clear("testmex");
  EXPECT_FALSE(locked.cleared);
  EXPECT_EQ(locked.reason, "locked");
  EXPECT_TRUE(session.clearAll().front().reason == "locked");
  EXPECT_EQ(value("count").scalar(), 4.0); // state survived both clears

  ok("unlock");
  EXPECT_EQ(value("isLocked").scalar(), 1.0); // one lock is left
  ok("unlock");
  EXPECT_EQ(value("isLocked").scalar(), 0.0);
  EXPECT_TRUE(session.clear("testmex").cleared);
}

TEST_F(TestMex, SessionEndClearsEvenLockedLibrariesAndRunsTheirExitRoutines) {
  ok("atexit");
  ok("lock");
  mexhost::SessionReport report = session.close();
  ASSERT_EQ(report.cleared.size(), 1u);
  EXPECT_TRUE(report.cleared[0].cleared);
  EXPECT_TRUE(report.cleared[0].exitRoutineRan);
  EXPECT_EQ(session.commandWindow(), "testmex exit routine\n");
  EXPECT_TRUE(report.leaked.empty());
}

TEST_F(TestMex, CommandWindowRecordsEveryPrintExactly) {
  ok("print", {session.text("first line\nsecond ")});
  ok("print", {session.text("half\n")});
  ok("format", {session.number(-7), session.text("tabbed")});
  const std::vector<std::string> expected = {"first line\nsecond ", "half\n", "value -7:\ttabbed\n"};
  EXPECT_EQ(session.printed(), expected);
  EXPECT_EQ(session.commandWindow(), "first line\nsecond half\nvalue -7:\ttabbed\n");
  session.clearCommandWindow();
  EXPECT_TRUE(session.commandWindow().empty());
  EXPECT_TRUE(session.printed().empty());
}

TEST_F(TestMex, ObjectPropertiesAreReadAsCopies) {
  Value andor = session.object("AndorCamera", {{"cameraHandle", session.number(3.0)},
                                               {"expectedM", session.number(4)},
                                               {"expectedN", session.number(5)}});
  EXPECT_EQ(andor.className(), "AndorCamera");
  EXPECT_EQ(andor.classId(), mxOBJECT_CLASS);
  EXPECT_TRUE(mxIsClass(andor.get(), "AndorCamera"));
  EXPECT_EQ(value("property", {andor, session.text("cameraHandle")}).scalar(), 3.0);
  EXPECT_EQ(value("property", {andor, session.text("expectedN")}).scalar(), 5.0);

  CallResult missing = run(1, "property", {andor, session.text("noSuch")});
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.errorMessage, "testmex: no such property");

  Value qcam = session.object("QCamCamera", {{"cameraHandle", session.int32(7)}});
  EXPECT_EQ(value("handle", {qcam}).scalar(), 7.0);

  // The object keeps its own copy: a changed source value does not reach it.
  Value handle = session.number(9);
  Value other = session.object("AndorCamera", {{"cameraHandle", handle}});
  *mxGetPr(handle.mutableArray()) = 10;
  EXPECT_EQ(value("property", {other, session.text("cameraHandle")}).scalar(), 9.0);
}

TEST_F(TestMex, ClassIdsAndTestsAreMatlabs) {
  struct Case {
    Value value;
    std::vector<double> expected; // class, numel, M, N, empty, numeric, char, cell,
                                  // struct, logical, double, function handle, sparse, complex
  };
  std::vector<Case> cases = {
      {session.number(2.5), {6, 1, 1, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0}},
      {session.numbers(mxINT16_CLASS, 2, 2), {10, 4, 2, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {session.numbers(mxUINT16_CLASS, 1, 3), {11, 3, 1, 3, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {session.int32(1), {12, 1, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
      {session.numbers(mxLOGICAL_CLASS, 1, 1, {1}), {3, 1, 1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}},
      {session.text("abc"), {4, 3, 1, 3, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {session.text(""), {4, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0}},
      {session.empty(), {6, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0}},
      {session.emptyStruct(), {2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0}},
      {session.functionHandle([](auto &, int) { return std::vector<Value>{}; }),
       {16, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0}},
      // A sparse array counts every element, stored or not.
      {session.sparse(mxDOUBLE_CLASS, 3, 4, {0, 5}), {6, 12, 3, 4, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0}},
      {session.sparse(mxLOGICAL_CLASS, 2, 2), {3, 4, 2, 2, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0}},
      {session.sparse(mxDOUBLE_CLASS, 1, 2, {1}, {2}), {6, 2, 1, 2, 0, 1, 0, 0, 0, 0, 1, 0, 1, 1}},
      {session.complexNumbers(mxINT16_CLASS, 2, 1), {10, 2, 2, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}},
  };
  for (const Case &c : cases) {
    Value described = value("describe", {c.value});
    ASSERT_EQ(described.elements(), 14u);
    const double *d = mxGetPr(described.get());
    EXPECT_EQ(std::vector<double>(d, d + 14), c.expected) << c.value.className();
  }
}

TEST_F(TestMex, GetStringCopiesWhatFitsAndSaysWhetherAllDid) {
  CallResult whole = run(2, "string", {session.text("abcdef"), session.number(7)});
  ASSERT_TRUE(whole.ok);
  EXPECT_EQ(whole.outputs[0].text(), "abcdef");
  EXPECT_EQ(whole.outputs[1].scalar(), 0.0);

  CallResult cut = run(2, "string", {session.text("abcdef"), session.number(4)});
  ASSERT_TRUE(cut.ok);
  EXPECT_EQ(cut.outputs[0].text(), "abc");
  EXPECT_EQ(cut.outputs[1].scalar(), 1.0);

  CallResult notText = run(2, "string", {session.number(1), session.number(8)});
  ASSERT_TRUE(notText.ok);
  EXPECT_EQ(notText.outputs[0].text(), "");
  EXPECT_EQ(notText.outputs[1].scalar(), 1.0);
}

TEST_F(TestMex, CellsAndStructsHoldWhatIsSetIntoThem) {
  Value frames = value("frames", {session.number(2), session.number(3), session.number(4)});
  ASSERT_TRUE(frames);
  EXPECT_EQ(mxGetNumberOfFields(frames.get()), 2);
  const mxArray *cell = mxGetField(frames.get(), 0, "frames");
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(mxGetM(cell), 4u);
  for (size_t j = 0; j < 4; ++j) {
    const mxArray *frame = mxGetCell(cell, j);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(mxGetClassID(frame), mxUINT16_CLASS);
    EXPECT_EQ(mxGetM(frame), 2u);
    EXPECT_EQ(mxGetN(frame), 3u);
    EXPECT_EQ(static_cast<const uint16_t *>(mxGetData(frame))[5], j);
  }
  const mxArray *last = mxGetField(frames.get(), 0, "frameData");
  ASSERT_NE(last, nullptr);
  EXPECT_NE(last, mxGetCell(cell, 3));
  EXPECT_EQ(static_cast<const uint16_t *>(mxGetData(last))[0], 3);
  EXPECT_EQ(mxGetField(frames.get(), 0, "noSuchField"), nullptr);

  // mxGetCell hands out the element itself; the caller copies what it keeps.
  Value copied = value("cell", {session.copy(cell), session.number(1)});
  EXPECT_EQ(static_cast<const uint16_t *>(mxGetData(copied.get()))[0], 1);
}

TEST_F(TestMex, GlobalWorkspaceHandsOutAndStoresCopies) {
  CallResult missing = run(0, "getGlobal", {session.text("frame")});
  ASSERT_TRUE(missing.ok);
  EXPECT_TRUE(missing.outputs.empty());
  EXPECT_EQ(session.commandWindow(), "Failed to find variable 'frame'\n");

  session.setGlobal("frame", session.numbers(mxDOUBLE_CLASS, 1, 2, {2, 3}));
  EXPECT_EQ(value("getGlobal", {session.text("frame")}).scalar(), 2.0);

  // Changing the copy leaves the variable alone until it is put back.
  EXPECT_EQ(value("scaleGlobal", {session.text("frame"), session.number(10)}).scalar(), 20.0);
  EXPECT_EQ(session.global("frame").scalar(), 2.0);
  value("scaleGlobal", {session.text("frame"), session.number(10), session.number(1)});
  Value stored = session.global("frame");
  EXPECT_EQ(mxGetPr(stored.get())[1], 30.0);

  Value given = session.number(8);
  EXPECT_EQ(value("putGlobal", {session.text("fresh"), given}).scalar(), 0.0);
  EXPECT_TRUE(session.hasGlobal("fresh"));
  EXPECT_EQ(session.global("fresh").scalar(), 8.0);
  *mxGetPr(given.mutableArray()) = 9; // the workspace holds its own copy
  EXPECT_EQ(session.global("fresh").scalar(), 8.0);
  session.clearGlobal("fresh");
  EXPECT_FALSE(session.hasGlobal("fresh"));
}

TEST_F(TestMex, AllocationFailureEndsTheCallWithOutOfMemory) {
  session.setAllocationLimit(1000);
  CallResult big = run(1, "allocate", {session.number(2000)});
  EXPECT_FALSE(big.ok);
  EXPECT_EQ(big.errorIdentifier, "MATLAB:nomem");
  EXPECT_EQ(value("allocate", {session.number(1000)}).elements(), 1000u);
  session.setAllocationLimit(0);
  EXPECT_EQ(value("allocate", {session.number(2000)}).elements(), 2000u);
}
