// The main thread's message loop, run the way MATLAB's idle loop runs it.
#include <windows.h>

#include "runtime.h"

namespace mexhost {

namespace {

// Removing the message is what lets WH_GETMESSAGE hooks act on it.
bool takeOne() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  // A dispatch may have changed what MATLAB code still holds.
  detail::verifySharedStorage();
  return true;
}

} // namespace

size_t Session::pumpMessages() {
  detail::requireMainThread("Session::pumpMessages");
  size_t taken = 0;
  while (takeOne()) ++taken;
  return taken;
}

bool Session::runUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout) {
  detail::requireMainThread("Session::runUntil");
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    while (takeOne())
      if (condition()) return true;
    Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
    // Blocks until a message arrives, even one that was already in the queue
    // when the wait began (MWMO_INPUTAVAILABLE), or until the time is up.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

} // namespace mexhost
