// Thread message queues: posting, retrieving, peeking, registered messages.
#include "hooks.h"

#include <cctype>

using namespace win32;

namespace {
const size_t queueLimit = 10000; // posted messages one queue holds

bool matches(const MSG &msg, UINT filterMin, UINT filterMax) {
  // WM_QUIT is retrieved whatever the filter, as Windows documents.
  if (msg.message == WM_QUIT) return true;
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

bool validWindowFilter(HWND window) {
  if (window == nullptr || window == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) return true;
  fail(1400); // ERROR_INVALID_WINDOW_HANDLE: there are no windows here
  return false;
}

// Takes the first matching message, or a pending quit, from the queue.
bool take(ThreadState &thread, MSG *msg, UINT filterMin, UINT filterMax, bool remove) {
  thread.newInput = false;
  for (auto it = thread.queue.begin(); it != thread.queue.end(); ++it) {
    if (!matches(*it, filterMin, filterMax)) continue;
    *msg = *it;
    if (remove) thread.queue.erase(it);
    return true;
  }
  if (thread.quitRequested) {
    *msg = MSG{};
    msg->message = WM_QUIT;
    msg->wParam = static_cast<WPARAM>(thread.quitCode);
    msg->time = GetTickCount();
    if (remove) thread.quitRequested = false;
    return true;
  }
  return false;
}

BOOL post(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  Lock held(state().mutex);
  if (injectedFailure(held, "PostThreadMessage")) return FALSE;
  auto found = state().threads.find(threadId);
  if (found == state().threads.end() || !found->second->hasQueue) {
    fail(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  ThreadState &thread = *found->second;
  if (thread.queue.size() >= queueLimit) {
    fail(ERROR_NOT_ENOUGH_QUOTA);
    return FALSE;
  }
  MSG msg{};
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = GetTickCount();
  thread.queue.push_back(msg);
  thread.newInput = true;
  for (Waiter *waiter : thread.queueWaiters) waiter->wake.notify_one();
  return TRUE;
}

BOOL get(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg) {
    fail(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (!validWindowFilter(window)) return -1;
  {
    Lock held(state().mutex);
    std::shared_ptr<ThreadState> thread = currentThread(held);
    thread->hasQueue = true;
    while (!take(*thread, msg, filterMin, filterMax, true))
      waitFor(held, {}, false, INFINITE, thread.get(), false); // until a new post
  }
  runGetMessageHooks(PM_REMOVE, msg);
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL peek(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) {
    fail(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!validWindowFilter(window)) return FALSE;
  const bool remove = (removeFlags & PM_REMOVE) != 0;
  {
    Lock held(state().mutex);
    std::shared_ptr<ThreadState> thread = currentThread(held);
    thread->hasQueue = true;
    if (!take(*thread, msg, filterMin, filterMax, remove)) return FALSE;
  }
  runGetMessageHooks(remove ? PM_REMOVE : PM_NOREMOVE, msg);
  return TRUE;
}
} // namespace

extern "C" {

BOOL WINAPI PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return post(threadId, message, wParam, lParam);
}

BOOL WINAPI PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return post(threadId, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  Lock held(state().mutex);
  std::shared_ptr<ThreadState> thread = currentThread(held);
  thread->hasQueue = true;
  thread->quitRequested = true;
  thread->quitCode = exitCode;
  thread->newInput = true;
  for (Waiter *waiter : thread->queueWaiters) waiter->wake.notify_one();
}

BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  return get(msg, window, filterMin, filterMax);
}

BOOL WINAPI GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  return get(msg, window, filterMin, filterMax);
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  return peek(msg, window, filterMin, filterMax, removeFlags);
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  return peek(msg, window, filterMin, filterMax, removeFlags);
}

// Thread messages have no window, so there is nothing to translate or to
// dispatch to; a message loop may still call these.
BOOL WINAPI TranslateMessage(const MSG *) { return FALSE; }
LRESULT WINAPI DispatchMessageA(const MSG *) { return 0; }
LRESULT WINAPI DispatchMessageW(const MSG *) { return 0; }

UINT WINAPI RegisterWindowMessageA(LPCSTR name) {
  if (!name || !*name) {
    fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string key(name);
  for (char &c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Lock held(state().mutex);
  if (injectedFailure(held, "RegisterWindowMessageA")) return 0;
  State &s = state();
  auto found = s.registeredMessages.find(key);
  if (found != s.registeredMessages.end()) return found->second;
  if (s.nextRegisteredMessage > 0xFFFF) {
    fail(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  UINT id = s.nextRegisteredMessage++;
  s.registeredMessages.emplace(key, id);
  return id;
}

} // extern "C"
