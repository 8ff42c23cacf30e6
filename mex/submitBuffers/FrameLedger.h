// The frames of every record that are out on the driver: which matrix a
// completed frame was written into, how many frames of each set are still
// out, when a frame and a set are freed, and the hold on the library while
// any frame is out (nothing takes a queued frame back from the driver, so
// its matrix, its record and this library's code must stay until it has
// come back). A frame is freed once it is back and its callback has
// returned; a set, once all its frames are.
//
// A frame out is named by a ticket, the 32-bit user data of its queue call.
// A ticket is taken when its frame is queued and given back when the frame
// has come back, so no two frames out share one, whichever call or camera
// they belong to. A frame comes back through its dispatch on MATLAB's
// thread or, when its completion could post nothing (the record had no
// AsyncMex object, or Windows refused the post), through a lock-free stack
// that the driver's thread pushes it onto and MATLAB's thread empties at the
// next dispatch or call of the library.
#ifndef CAMERA_MEX_SUBMITBUFFERS_FRAMELEDGER_H
#define CAMERA_MEX_SUBMITBUFFERS_FRAMELEDGER_H

#include "FrameSet.h"
#include "mex.h"

#include <atomic>
#include <stdint.h>

class FrameLedger {
public:
  // --- mexFunction, MATLAB's thread ---

  // Before anything of the library changes: count frames will find a
  // ticket. An allocation that fails ends the call, as MATLAB's do.
  void reserveTickets(int32_t count);
  // The set has been kept; the ledger frees it once none of its frames is
  // out and neither its call nor a running callback holds it.
  void adopt(FrameSet *set);
  // Right before frame index of the set is queued: holds the library and
  // returns the frame's ticket.
  uint32_t frameGoesOut(FrameSet *set, int32_t index);
  // A frame back without a callback: refused by the driver (so it never
  // comes back otherwise), or its event taken by the exit routine.
  void frameBackWithoutCallback(uint32_t ticket);
  // Around the queue loop. A dispatch may run inside it (MATLAB takes
  // messages in modal loops): the set stays, and the call settles.
  void queueingBegins(FrameSet *set) {
    ++queueingDepth_;
    ++set->holders;
  }
  void queueingEnds(FrameSet *set) {
    --queueingDepth_;
    --set->holders;
  }
  // Takes back what came back, frees idle sets and lets the library go once
  // nothing is out. Only inside a call of this library: mexUnlock is valid
  // nowhere else.
  void settle();

  // --- the driver's thread ---

  void completionBegins() { completionsRunning_.fetch_add(1); }
  // Before the frame's event is posted: the code the driver completed it
  // with, for its callback.
  void frameCompleted(uint32_t ticket, int32_t errorCode);
  void completionEnds() { completionsRunning_.fetch_sub(1); }
  void frameBackUndispatched(uint32_t ticket);

  // --- the dispatch, MATLAB's thread ---

  // The frame has come back: its struct for the callback, its matrix the one
  // the driver wrote into, or null for a ticket that is not out for this
  // record. The frame counts as out, and its set stays, until endDispatch,
  // whatever the callback does; endDispatch frees the frame.
  FrameSet *beginDispatch(uint32_t ticket, const void *record, mxArray **frame);
  void endDispatch(uint32_t ticket, FrameSet *set);
  bool closing() const { return closing_; }

  // --- the settle request: a dispatch that finds nothing left out calls
  // the library by its own name with a token, as only a call may unlock ---

  void rememberLibraryName();
  bool isSettleRequest(int nrhs, const mxArray *prhs[]) const;

  // --- the exit routine ---

  // Waits (boundedly) for completion routines to return into this library,
  // takes the AsyncMex events queued so far, frees every set none of whose
  // frames is out, and leaves the rest allocated: the driver may still
  // write into them.
  void close();

private:
  struct Ticket {
    FrameSet *set; // null while free
    int32_t index;
    uint32_t number;
    std::atomic<int32_t> errorCode; // written by the driver's thread before its post
    Ticket *next;                   // the free list, or the stack of frames back undispatched
  };
  // Tickets live in chunks that never move, so the driver's thread can find
  // one while MATLAB's thread adds chunks: chunk k holds firstChunkSize << k.
  static const int chunkCount = 26;
  static const uint32_t firstChunkSize = 64;

  Ticket *ticketAt(uint32_t number) const;
  void giveBack(Ticket *ticket);
  void takeBackUndispatched();
  void freeIdleSets();
  bool nothingOut() const { return framesOut_ == 0 && dispatchDepth_ == 0; }
  void requestSettle();

  std::atomic<Ticket *> chunks_[chunkCount] = {};
  int chunksMade_ = 0;
  Ticket *freeTickets_ = nullptr;
  int64_t freeTicketCount_ = 0;
  std::atomic<Ticket *> backUndispatched_{nullptr};
  std::atomic<int> completionsRunning_{0};

  FrameSet *sets_ = nullptr;
  int64_t framesOut_ = 0; // all sets together
  int dispatchDepth_ = 0;
  int queueingDepth_ = 0;
  bool locked_ = false;
  bool closing_ = false;
  char libraryName_[64] = "submitBuffers";
};

#endif
