#include "testkit/DelayLine.h"

#include <sys/socket.h>

#include <cerrno>

namespace msde::testkit {

DelayLine::DelayLine(int Fd, std::chrono::milliseconds Delay) : fd_(Fd), delay_(Delay) {
  thread_ = std::thread([this] { Run(); });
}

DelayLine::~DelayLine() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool DelayLine::Send(const char* Data, size_t Count) {
  {
    std::lock_guard lock(mutex_);
    if (failed_) return false;
    queue_.emplace_back(Clock::now() + delay_, std::string(Data, Count));
  }
  changed_.notify_all();
  return true;
}

void DelayLine::Drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return (queue_.empty() && !writing_) || failed_ || stopping_; });
}

void DelayLine::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    const Clock::time_point due = queue_.front().first;
    if (changed_.wait_until(lock, due, [this] { return stopping_; })) return;
    std::string chunk = std::move(queue_.front().second);
    queue_.pop_front();
    writing_ = true;
    lock.unlock();
    bool ok = true;
    for (size_t at = 0; ok && at < chunk.size();) {
      const ssize_t n = ::send(fd_, chunk.data() + at, chunk.size() - at, MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (ok) at += static_cast<size_t>(n);
    }
    lock.lock();
    writing_ = false;
    if (!ok) {
      failed_ = true;
      queue_.clear();
    }
    changed_.notify_all();
  }
}

}  // namespace msde::testkit
