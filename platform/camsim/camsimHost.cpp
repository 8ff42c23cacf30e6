// camsim commands of the Win32 stand-in as Octave's thread sees it: its
// message queue, the message boxes shown, the threads left running.
#include "camsimCommand.h"

#include <windows.h>

#include "win32_test_control.h"

#include <vector>

namespace {

// Blocks until a message is queued for this thread or the time runs out;
// true when one is there. Messages already queued count.
void waitForMessage(const CamsimCall &call) {
  int32_t timeout = integerArgument(call, 0);
  DWORD result = MsgWaitForMultipleObjectsEx(0, nullptr, timeout < 0 ? INFINITE : DWORD(timeout),
                                             QS_ALLPOSTMESSAGE, MWMO_INPUTAVAILABLE);
  setScalarOutput(call, result == WAIT_OBJECT_0 ? 1 : 0);
}

void queueLength(const CamsimCall &call) {
  setScalarOutput(call, double(win32QueueLength(GetCurrentThreadId())));
}

void messageBoxes(const CamsimCall &call) {
  size_t count = win32MessageBoxCount();
  mxArray *texts = mxCreateCellMatrix(count, 1);
  for (size_t i = 0; i < count; ++i) {
    long length = win32MessageBoxText(i, nullptr, 0);
    std::vector<char> text(length > 0 ? size_t(length) + 1 : 1, '\0');
    win32MessageBoxText(i, text.data(), text.size());
    mxSetCell(texts, i, mxCreateString(text.data()));
  }
  setOutput(call, texts);
}

void clearMessageBoxes(const CamsimCall &) { win32ClearMessageBoxes(); }

void runningThreads(const CamsimCall &call) { setScalarOutput(call, double(win32RunningThreadCount())); }

void waitForRunningThreads(const CamsimCall &call) {
  setScalarOutput(
      call, win32WaitForRunningThreads(size_t(integerArgument(call, 0)), DWORD(integerArgument(call, 1))));
}

void hookCount(const CamsimCall &call) { setScalarOutput(call, double(win32HookCount())); }

} // namespace

const CamsimCommand hostCommands[] = {
    {"waitForMessage", 1, 1, waitForMessage}, {"queueLength", 0, 0, queueLength},
    {"messageBoxes", 0, 0, messageBoxes},     {"clearMessageBoxes", 0, 0, clearMessageBoxes},
    {"runningThreads", 0, 0, runningThreads}, {"waitForRunningThreads", 2, 2, waitForRunningThreads},
    {"hookCount", 0, 0, hookCount},           {nullptr, 0, 0, nullptr},
};
