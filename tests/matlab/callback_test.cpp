// MATLAB functions played by C++: feval of function handles, the error trap,
// named functions, and MEX functions called again from inside them.
#include <string>

#include "testmex_fixture.h"

using mexhost::CallResult;
using mexhost::Value;

namespace {

std::string textOf(const mxArray *array) {
  char buffer[256] = {0};
  mxGetString(array, buffer, sizeof buffer);
  return buffer;
}

} // namespace

TEST_F(TestMex, FevalCallsTheHandleWithTheRemainingInputs) {
  int calls = 0;
  std::vector<std::string> seen;
  Value callback = session.functionHandle([&](const std::vector<const mxArray *> &args, int nargout) {
    ++calls;
    EXPECT_EQ(nargout, 0);
    for (const mxArray *arg : args) seen.push_back(mxGetClassName(arg));
    EXPECT_EQ(mxGetScalar(mxGetProperty(args[0], 0, "cameraHandle")), 3.0);
    EXPECT_EQ(mxGetNumberOfElements(args[1]), 0u);
    EXPECT_EQ(mxGetNumberOfFields(args[1]), 0);
    return std::vector<Value>{};
  });
  Value camera = session.object("AndorCamera", {{"cameraHandle", session.number(3)}});
  ok("feval", {callback, camera, session.emptyStruct()});
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, (std::vector<std::string>{"AndorCamera", "struct"}));
  EXPECT_TRUE(session.commandWindow().empty());
}

TEST_F(TestMex, FevalHandsBackTheFunctionsOutputs) {
  Value twice = session.functionHandle([&](const std::vector<const mxArray *> &args, int nargout) {
    EXPECT_EQ(nargout, 2);
    return std::vector<Value>{session.number(2 * mxGetScalar(args[0])), session.text("done")};
  });
  CallResult result = run(2, "feval", {twice, session.number(21)});
  ASSERT_TRUE(result.ok) << result.errorMessage;
  EXPECT_EQ(result.outputs[0].scalar(), 42.0);
  EXPECT_EQ(result.outputs[1].text(), "done");

  Value none = session.functionHandle([](auto &, int) { return std::vector<Value>{}; });
  CallResult unassigned = run(1, "feval", {none});
  EXPECT_FALSE(unassigned.ok);
  EXPECT_EQ(unassigned.errorIdentifier, "MATLAB:unassignedOutputs");
}

TEST_F(TestMex, TrappedErrorComesBackAsAnMExceptionAndTheCallGoesOn) {
  int calls = 0;
  Value failing = session.functionHandle([&](auto &, int) -> std::vector<Value> {
    ++calls;
    mexhost::raiseError("Index exceeds matrix dimensions.", "MATLAB:badsubscript");
  });
  ok("feval", {failing});
  ok("feval", {failing});
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(session.commandWindow(), "ERROR in callback: Index exceeds matrix dimensions.\n"
                                     "ERROR in callback: Index exceeds matrix dimensions.\n");

  // A message longer than the 256-byte buffer is cut to 255 characters.
  std::string longMessage(300, 'x');
  Value verbose =
      session.functionHandle([&](auto &, int) -> std::vector<Value> { mexhost::raiseError(longMessage); });
  session.clearCommandWindow();
  ok("feval", {verbose});
  EXPECT_EQ(session.commandWindow(), "ERROR in callback: " + std::string(255, 'x') + "\n");
}

TEST_F(TestMex, TheMExceptionCarriesMessageAndIdentifier) {
  session.defineFunction("inspect", [&](const std::vector<const mxArray *> &, int) {
    mxArray *args[1] = {mxDuplicateArray(session
                                             .functionHandle([](auto &, int) -> std::vector<Value> {
                                               mexhost::raiseError("deep failure", "camera:deep");
                                             })
                                             .get())};
    mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 1, args, "feval");
    EXPECT_NE(exception, nullptr);
    EXPECT_TRUE(mxIsClass(exception, "MException"));
    EXPECT_EQ(textOf(mxGetProperty(exception, 0, "message")), "deep failure");
    EXPECT_EQ(textOf(mxGetProperty(exception, 0, "identifier")), "camera:deep");
    return std::vector<Value>{};
  });
  CallResult result = run(0, "call", {session.text("inspect")});
  EXPECT_TRUE(result.ok) << result.errorMessage;
  EXPECT_TRUE(session.memory().empty());
}

TEST_F(TestMex, UntrappedErrorEndsTheMexCall) {
  session.defineFunction("fail", [](auto &, int) -> std::vector<Value> {
    mexhost::raiseError("failure inside MATLAB", "camera:fail");
  });
  CallResult result = run(0, "call", {session.text("fail")});
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.errorMessage, "failure inside MATLAB");
  EXPECT_EQ(result.errorIdentifier, "camera:fail");

  CallResult undefined = run(0, "call", {session.text("noSuchFunction")});
  EXPECT_FALSE(undefined.ok);
  EXPECT_EQ(undefined.errorIdentifier, "MATLAB:UndefinedFunction");
}

TEST_F(TestMex, MexFunctionsCanBeCalledFromMexFunctionsAndFromCallbacks) {
  // By name through mexCallMATLAB: the same loaded library, re-entered.
  CallResult nested = run(1, "call", {session.text("testmex"), session.text("count")});
  ASSERT_TRUE(nested.ok) << nested.errorMessage;
  EXPECT_EQ(nested.outputs[0].scalar(), 2.0);

  // From a callback, through the session, while the outer call runs: the
  // library cannot be cleared from under its own running code.
  std::vector<double> counts;
  mexhost::ClearReport clearInside;
  Value reenter = session.functionHandle([&](auto &, int) {
    CallResult inner = session.call("testmex", {session.text("count")}, 1);
    EXPECT_TRUE(inner.ok) << inner.errorMessage;
    counts.push_back(inner.outputs[0].scalar());
    CallResult failing = session.call("testmex", {session.text("error"), session.text("inner")});
    EXPECT_EQ(failing.errorMessage, "inner");
    clearInside = session.clear("testmex");
    return std::vector<Value>{};
  });
  ok("feval", {reenter});
  EXPECT_EQ(counts, std::vector<double>{4.0});
  EXPECT_FALSE(clearInside.cleared);
  EXPECT_EQ(clearInside.reason, "in use");
  EXPECT_EQ(value("count").scalar(), 6.0);
  EXPECT_TRUE(session.commandWindow().empty()); // the outer call trapped nothing
}

TEST_F(TestMex, ArraysMadeInsideACallbackDieWithIt) {
  Value busy = session.functionHandle([&](auto &, int) {
    for (int i = 0; i < 10; ++i) mxCreateDoubleMatrix(4, 4, mxREAL);
    mxCalloc(64, 1);
    return std::vector<Value>{};
  });
  ok("feval", {busy});
  EXPECT_TRUE(session.memory().empty());
  mexhost::MemoryCount host = session.close().host;
  EXPECT_EQ(host.arrays, 1u); // the handle itself
  EXPECT_EQ(host.blocks, 0u);
}
