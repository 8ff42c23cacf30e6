// Process-wide state of the Win32 stand-in. One lock guards all of it: the
// critical sections are a few lines long, and one lock makes every
// multi-object wait and every queue operation trivially atomic.
#ifndef CAMERA_PLATFORM_WIN32_STATE_H
#define CAMERA_PLATFORM_WIN32_STATE_H

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace win32 {

using Lock = std::unique_lock<std::mutex>;
using Clock = std::chrono::steady_clock;

// A thread blocked in a wait; whatever it waits for notifies its condition.
struct Waiter {
  std::condition_variable wake;
};

struct ThreadState;

// A waitable kernel object: an event, a thread or a mutex. The caller of
// every member holds the lock.
struct Object {
  virtual ~Object() = default;
  bool signalled = false;
  bool autoReset = false;
  bool abandoned = false; // the next wait it satisfies reports WAIT_ABANDONED
  std::vector<Waiter *> waiters;

  void signal();
  // Whether a wait by this thread would be satisfied now.
  virtual bool readyFor(const ThreadState &) const { return signalled; }
  // A satisfied wait takes an auto-reset signal.
  virtual void consume(ThreadState &) {
    if (autoReset) signalled = false;
  }
};

struct EventObject : Object {};

// Signalled while no thread owns it; a satisfied wait makes the waiter its
// owner, and its owner may wait again, counting.
struct MutexObject : Object, std::enable_shared_from_this<MutexObject> {
  DWORD ownerId = 0; // thread ids start far above 0
  ULONG count = 0;

  bool readyFor(const ThreadState &thread) const override;
  void consume(ThreadState &thread) override;
  // Gives up ownership entirely, leaving it signalled (and abandoned, when
  // said so) for the next waiter; the owner's record is the caller's to mend.
  void disown(bool abandon);
};

struct ThreadObject : Object {
  DWORD id = 0;
  DWORD exitCode = STILL_ACTIVE;
};

struct Hook {
  HHOOK id = nullptr;
  HOOKPROC procedure = nullptr;
  bool removed = false;
};

// Everything the stand-in knows of one thread, created when the thread first
// calls into the stand-in (or by CreateThread).
struct ThreadState {
  DWORD id = 0;
  std::shared_ptr<ThreadObject> object = std::make_shared<ThreadObject>();
  bool hasQueue = false;
  bool ended = false;
  std::deque<MSG> queue;
  bool newInput = false;      // a post arrived since the thread last looked
  bool quitRequested = false; // PostQuitMessage
  int quitCode = 0;
  std::vector<Waiter *> queueWaiters;
  std::vector<std::shared_ptr<Hook>> hooks; // in order of installation
  // Mutexes it owns; one that lost its last handle meanwhile is gone, and no
  // longer anyone's to abandon.
  std::vector<std::weak_ptr<MutexObject>> owned;
  // CreateThread's suspended start
  bool suspended = false;
  std::condition_variable resumed;
};

struct State {
  std::mutex mutex;
  std::uint64_t nextHandle = 0x100;
  bool reuseHandles = false;
  std::vector<std::uintptr_t> closedHandles; // most recently closed last
  std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> handles;
  DWORD nextThreadId = 0x400;
  std::unordered_map<DWORD, std::shared_ptr<ThreadState>> threads;
  std::uintptr_t nextHook = 0x10000;
  std::unordered_map<std::uintptr_t, std::shared_ptr<Hook>> hooksById;
  std::map<std::string, UINT> registeredMessages; // keys in upper case
  // Named mutexes by their case-sensitive names; a name whose mutex has
  // lost its last reference is free again.
  std::map<std::string, std::weak_ptr<MutexObject>> namedMutexes;
  UINT nextRegisteredMessage = 0xC000;
  size_t runningCreatedThreads = 0;
  std::condition_variable threadEnded;
  struct MessageBox {
    std::string text;
    std::string caption;
  };
  std::vector<MessageBox> messageBoxes;
  void (*messageBoxHandler)(const char *, const char *, void *) = nullptr;
  // test controls
  struct Failure {
    DWORD error = 0;
    int remaining = 0; // negative: every call
  };
  std::map<std::string, Failure> failures;
  std::shared_ptr<Object> holdOn;
  uint64_t holdGeneration = 0; // a release lets go of the holds made before it
  std::vector<HANDLE> heldHandles;
  size_t heldThreads = 0;
  std::condition_variable holdChanged;
  void *messageBoxContext = nullptr;
};

// Never destroyed: threads may still call in while the process exits.
State &state();

// The calling thread's state, made on first use; caller holds the lock.
std::shared_ptr<ThreadState> currentThread(Lock &held);
// A new thread's state for CreateThread; caller holds the lock.
std::shared_ptr<ThreadState> registerThread(Lock &held);
// Marks a thread ended: signals its object, drops its queue and hooks, and
// abandons the mutexes it still owns.
void endThread(Lock &held, ThreadState &thread, DWORD exitCode);
// Abandons a mutex as if its owner had ended; caller holds the lock.
void abandonMutex(Lock &held, MutexObject &mutex);

HANDLE insertHandle(Lock &held, std::shared_ptr<Object> object);
// Drops a handle from the table; false (last error set) when it was none.
bool eraseHandle(Lock &held, std::uintptr_t value);
// The object behind a handle or pseudo-handle, or null (last error set).
std::shared_ptr<Object> lookupHandle(Lock &held, HANDLE handle);

// Blocks until one (or all) of the objects, or the thread's queue when given,
// is ready. Returns the index satisfied, objects.size() for queue input,
// or WAIT_TIMEOUT.
DWORD waitFor(Lock &held, const std::vector<std::shared_ptr<Object>> &objects, bool waitAll,
              DWORD milliseconds, ThreadState *queueOf, bool anyInput);

void fail(DWORD error); // SetLastError for a failing call

// True (last error set) when a test asked this call of the function to fail.
bool injectedFailure(Lock &held, const char *function);
// Stops a thread that enters a wait on the held object, for tests.
void holdIfAsked(Lock &held, const std::vector<std::shared_ptr<Object>> &objects, const HANDLE *handles,
                 DWORD count);

} // namespace win32

#endif
