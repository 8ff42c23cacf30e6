// Mutexes, unnamed and named. The camera libraries are separate DLLs in one
// process that never call each other; a name is how they find one lock.
#include "state.h"

#include <algorithm>

namespace win32 {

namespace {
void forget(ThreadState &thread, const MutexObject &mutex) {
  auto &owned = thread.owned;
  owned.erase(std::remove_if(owned.begin(), owned.end(),
                             [&](const std::weak_ptr<MutexObject> &entry) {
                               std::shared_ptr<MutexObject> alive = entry.lock();
                               return !alive || alive.get() == &mutex;
                             }),
              owned.end());
}
} // namespace

bool MutexObject::readyFor(const ThreadState &thread) const { return ownerId == 0 || ownerId == thread.id; }

void MutexObject::consume(ThreadState &thread) {
  if (ownerId == 0) {
    ownerId = thread.id;
    signalled = false;
    thread.owned.push_back(weak_from_this());
  }
  ++count;
}

void MutexObject::disown(bool abandon) {
  ownerId = 0;
  count = 0;
  if (abandon) abandoned = true;
  signal();
}

void abandonMutex(Lock &, MutexObject &mutex) {
  if (mutex.ownerId != 0) {
    auto owner = state().threads.find(mutex.ownerId);
    if (owner != state().threads.end()) forget(*owner->second, mutex);
  }
  mutex.disown(true);
}

} // namespace win32

using namespace win32;

extern "C" {

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
  Lock held(state().mutex);
  if (injectedFailure(held, "CreateMutexA")) return nullptr;
  std::shared_ptr<MutexObject> mutex;
  if (name) {
    auto &named = state().namedMutexes;
    // Names of mutexes gone meanwhile are dropped, so the table stays as
    // small as the set of live names.
    for (auto it = named.begin(); it != named.end();) it = it->second.expired() ? named.erase(it) : ++it;
    std::weak_ptr<MutexObject> &entry = named[name];
    mutex = entry.lock();
    if (mutex) {
      // The caller opens the existing mutex; it does not take it, whatever
      // it asked for.
      HANDLE handle = insertHandle(held, mutex);
      fail(ERROR_ALREADY_EXISTS);
      return handle;
    }
    mutex = std::make_shared<MutexObject>();
    entry = mutex;
  } else {
    mutex = std::make_shared<MutexObject>();
  }
  mutex->signalled = true;
  if (initialOwner) mutex->consume(*currentThread(held));
  HANDLE handle = insertHandle(held, mutex);
  fail(ERROR_SUCCESS); // callers tell a new mutex from an opened one by it
  return handle;
}

BOOL WINAPI ReleaseMutex(HANDLE handle) {
  Lock held(state().mutex);
  auto mutex = std::dynamic_pointer_cast<MutexObject>(lookupHandle(held, handle));
  if (!mutex) {
    fail(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::shared_ptr<ThreadState> thread = currentThread(held);
  if (mutex->ownerId != thread->id) {
    fail(ERROR_NOT_OWNER);
    return FALSE;
  }
  if (--mutex->count == 0) {
    forget(*thread, *mutex);
    mutex->disown(false);
  }
  return TRUE;
}

} // extern "C"
