#include "FrameLedger.h"

#include "AsyncMex.h"

#include <windows.h>

#include <string.h>

namespace {
const char settleAnchor = 0;
uint64_t settleToken() { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&settleAnchor)); }

// How long the exit routine lets a completion routine finish returning into
// this library's code, which is about to be unloaded.
const DWORD completionReturnTimeoutMs = 5000;
} // namespace

FrameLedger::Ticket *FrameLedger::ticketAt(uint32_t number) const {
  uint32_t first = 0;
  for (int k = 0; k < chunkCount; ++k) {
    const uint32_t size = firstChunkSize << k;
    if (number - first < size) {
      Ticket *chunk = chunks_[k].load(std::memory_order_acquire);
      return chunk != nullptr ? chunk + (number - first) : nullptr;
    }
    first += size;
  }
  return nullptr;
}

void FrameLedger::reserveTickets(int32_t count) {
  while (freeTicketCount_ < count && chunksMade_ < chunkCount) {
    const uint32_t size = firstChunkSize << chunksMade_;
    uint32_t first = 0;
    for (int k = 0; k < chunksMade_; ++k) first += firstChunkSize << k;
    Ticket *chunk = static_cast<Ticket *>(mxCalloc(size, sizeof(Ticket)));
    mexMakeMemoryPersistent(chunk);
    // Pushed in reverse so that tickets are handed out from the lowest.
    for (uint32_t i = size; i-- > 0;) {
      chunk[i].number = first + i;
      chunk[i].next = freeTickets_;
      freeTickets_ = &chunk[i];
    }
    freeTicketCount_ += size;
    chunks_[chunksMade_++].store(chunk, std::memory_order_release);
  }
  if (freeTicketCount_ < count)
    mexErrMsgTxt("submitBuffers: too many frames are out on the cameras already.");
}

void FrameLedger::adopt(FrameSet *set) {
  set->next = sets_;
  sets_ = set;
}

uint32_t FrameLedger::frameGoesOut(FrameSet *set, int32_t index) {
  if (!locked_) {
    mexLock();
    locked_ = true;
  }
  Ticket *ticket = freeTickets_; // reserved: never null here
  freeTickets_ = ticket->next;
  --freeTicketCount_;
  ticket->set = set;
  ticket->index = index;
  ticket->errorCode.store(0, std::memory_order_relaxed);
  ticket->next = nullptr;
  ++set->framesOut;
  ++framesOut_;
  return ticket->number;
}

void FrameLedger::giveBack(Ticket *ticket) {
  releaseFrame(ticket->set, ticket->index);
  --ticket->set->framesOut;
  --framesOut_;
  ticket->set = nullptr;
  ticket->next = freeTickets_;
  freeTickets_ = ticket;
  ++freeTicketCount_;
}

void FrameLedger::frameBackWithoutCallback(uint32_t number) {
  Ticket *ticket = ticketAt(number);
  if (ticket != nullptr && ticket->set != nullptr) giveBack(ticket);
}

void FrameLedger::frameBackUndispatched(uint32_t number) {
  Ticket *ticket = ticketAt(number);
  if (ticket == nullptr) return;
  Ticket *head = backUndispatched_.load(std::memory_order_relaxed);
  do ticket->next = head;
  while (!backUndispatched_.compare_exchange_weak(head, ticket, std::memory_order_release,
                                                  std::memory_order_relaxed));
}

void FrameLedger::takeBackUndispatched() {
  Ticket *ticket = backUndispatched_.exchange(nullptr, std::memory_order_acquire);
  while (ticket != nullptr) {
    Ticket *next = ticket->next;
    if (ticket->set != nullptr) giveBack(ticket);
    ticket = next;
  }
}

void FrameLedger::freeIdleSets() {
  for (FrameSet **link = &sets_; *link != nullptr;) {
    FrameSet *set = *link;
    if (set->framesOut > 0 || set->holders > 0) {
      link = &set->next;
      continue;
    }
    *link = set->next;
    freeFrameSet(set);
  }
}

void FrameLedger::settle() {
  takeBackUndispatched();
  freeIdleSets();
  if (locked_ && nothingOut()) {
    mexUnlock();
    locked_ = false;
  }
}

void FrameLedger::frameCompleted(uint32_t number, int32_t errorCode) {
  if (Ticket *ticket = ticketAt(number)) ticket->errorCode.store(errorCode, std::memory_order_release);
}

FrameSet *FrameLedger::beginDispatch(uint32_t number, const void *record, mxArray **frame) {
  ++dispatchDepth_;
  *frame = nullptr;
  Ticket *ticket = ticketAt(number);
  if (ticket == nullptr || ticket->set == nullptr || ticket->set->owner != record) return nullptr;
  FrameSet *set = ticket->set;
  *frame = frameEvent(set, ticket->index, ticket->errorCode.load(std::memory_order_acquire));
  ++set->holders;
  return set;
}

void FrameLedger::endDispatch(uint32_t number, FrameSet *set) {
  --dispatchDepth_;
  if (set != nullptr) {
    --set->holders;
    giveBack(ticketAt(number));
  }
  if (dispatchDepth_ > 0) return; // the outer dispatch settles
  takeBackUndispatched();
  freeIdleSets();
  if (locked_ && nothingOut() && queueingDepth_ == 0) requestSettle();
}

void FrameLedger::rememberLibraryName() {
  const char *name = mexFunctionName();
  if (name == nullptr || *name == '\0' || strlen(name) >= sizeof libraryName_) return;
  strcpy(libraryName_, name);
}

bool FrameLedger::isSettleRequest(int nrhs, const mxArray *prhs[]) const {
  return nrhs == 1 && prhs[0] != nullptr && mxGetClassID(prhs[0]) == mxUINT64_CLASS &&
         mxGetNumberOfElements(prhs[0]) == 1 &&
         *static_cast<const uint64_t *>(mxGetData(prhs[0])) == settleToken();
}

void FrameLedger::requestSettle() {
  mxArray *token = mxCreateNumericMatrix(1, 1, mxUINT64_CLASS, mxREAL);
  *static_cast<uint64_t *>(mxGetData(token)) = settleToken();
  mxArray *exception = mexCallMATLABWithTrap(0, nullptr, 1, &token, libraryName_);
  mxDestroyArray(token);
  // Not fatal: the next call of the library settles it.
  if (exception != nullptr) mxDestroyArray(exception);
}

void FrameLedger::close() {
  closing_ = true;
  const DWORD start = GetTickCount();
  while (completionsRunning_.load() > 0 && GetTickCount() - start < completionReturnTimeoutMs) Sleep(1);
  discardAsyncMexEvents(); // each comes back through a dispatch that only counts it
  takeBackUndispatched();
  freeIdleSets();
  // What is left may still be written by the driver, or its ticket still
  // be pushed by a late completion: it stays allocated for good.
  if (sets_ == nullptr)
    for (int k = 0; k < chunksMade_; ++k) mxFree(chunks_[k].load());
  for (int k = 0; k < chunkCount; ++k) chunks_[k].store(nullptr);
  chunksMade_ = 0;
  freeTickets_ = nullptr;
  freeTicketCount_ = 0;
  backUndispatched_.store(nullptr);
  sets_ = nullptr;
  framesOut_ = 0;
  dispatchDepth_ = 0;
  queueingDepth_ = 0;
  locked_ = false;
  closing_ = false;
}
