#include "data/StatementWorker.h"

#include <pthread.h>
#include <sched.h>

#include <stdexcept>
#include <utility>

namespace vandrel {

TMStatementWorker::~TMStatementWorker() {
  {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return !FHasCall; });
    FStop = true;
  }
  FChanged.notify_all();
  if (FThread.joinable()) FThread.join();
}

void TMStatementWorker::Start(TCall Call, TEnded Ended) {
  {
    std::lock_guard lock(FLock);
    if (FBusy) throw std::logic_error("a statement call is already running");
    FCall = std::move(Call);
    FEnded = std::move(Ended);
    FBusy = true;
    FHasCall = true;
    FDone = false;
    FError = nullptr;
    if (!FThread.joinable()) FThread = std::thread([this] { Loop(); });
    FollowOwner();
  }
  FChanged.notify_all();
}

void TMStatementWorker::FollowOwner() {
  const int cpu = sched_getcpu();
  if (cpu < 0 || cpu == FCpu) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  if (pthread_setaffinity_np(FThread.native_handle(), sizeof set, &set) == 0) FCpu = cpu;
}

bool TMStatementWorker::Ended() const {
  std::lock_guard lock(FLock);
  return FDone;
}

bool TMStatementWorker::WaitFor(std::chrono::milliseconds Timeout) {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, Timeout, [this] { return FDone || !FBusy; });
}

SQLRETURN TMStatementWorker::Take() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return FDone || !FBusy; });
  FBusy = false;
  FDone = false;
  FCall = nullptr;
  if (FError) std::rethrow_exception(std::exchange(FError, nullptr));
  return FResult;
}

void TMStatementWorker::Loop() {
  std::unique_lock lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return FHasCall || FStop; });
    if (!FHasCall) return;
    TCall call = FCall;
    TEnded ended = std::move(FEnded);
    lock.unlock();
    SQLRETURN rc = SQL_ERROR;
    std::exception_ptr error;
    try {
      rc = call();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    FResult = rc;
    FError = error;
    FDone = true;
    FHasCall = false;
    FChanged.notify_all();
    if (ended) {
      // Told outside the lock: the owner may already be taking the result.
      lock.unlock();
      ended();
      lock.lock();
    }
  }
}

}  // namespace vandrel
