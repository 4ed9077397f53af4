#pragma once
// A thread that makes the calls of a statement that wait for the server, one at a time,
// while the thread that owns the link goes on with its own work (a window that keeps
// painting). Only the waiting moves here: the owner starts a call, is told when it has
// ended and takes its result; nothing else of the link or its queries runs meanwhile.
//
// The owner mostly just waits for the call, and the calls come by the thousand (a fetch of a
// rowset each), so the worker runs on the processor the owner ran on when it started the
// call: the start and the end of a call then wake a thread on the same processor, its caches
// warm, instead of interrupting another one. On a virtual machine such an interrupt costs
// more than the fetch, and the scheduler kept them apart in one process in three.
#include <sql.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace vandrel {

class TMStatementWorker {
 public:
  using TCall = std::function<SQLRETURN()>;
  using TEnded = std::function<void()>;

  TMStatementWorker() = default;
  // Waits for a call still running, then ends the thread.
  ~TMStatementWorker();
  TMStatementWorker(const TMStatementWorker&) = delete;
  TMStatementWorker& operator=(const TMStatementWorker&) = delete;

  // Starts Call on the worker thread (started on first use). Ended runs on the worker
  // thread as soon as Call has returned or thrown; it must only hand the news over (post
  // an event), never touch the link. One call at a time: starting a second one before the
  // first was taken raises std::logic_error.
  void Start(TCall Call, TEnded Ended = {});
  // Whether the call started last has ended (any thread).
  bool Ended() const;
  // Waits for the call to end, at most Timeout; true when it has ended.
  bool WaitFor(std::chrono::milliseconds Timeout);
  // The ended call's return code, or what it threw, raised again here; the worker is then
  // free for the next call. Waits first when the call has not ended.
  SQLRETURN Take();

 private:
  void Loop();
  // Keeps the worker on the owner's current processor (advice only: it may fail).
  void FollowOwner();

  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::thread FThread;
  TCall FCall;
  TEnded FEnded;
  bool FBusy = false;     // a call was started and not yet taken
  bool FHasCall = false;  // the thread has a call to make
  bool FDone = false;     // the call has ended
  bool FStop = false;
  int FCpu = -1;  // the processor the worker was kept on
  SQLRETURN FResult = SQL_SUCCESS;
  std::exception_ptr FError;
};

}  // namespace vandrel
