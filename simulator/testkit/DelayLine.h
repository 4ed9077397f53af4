#pragma once
// Bytes delivered to a socket a fixed time after they arrived, in order, each chunk on its own
// time, as a long link carries them: a chunk sent just after another arrives just after it,
// so the delay does not add up over the chunks in flight.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace msde::testkit {

class DelayLine {
 public:
  DelayLine(int Fd, std::chrono::milliseconds Delay);
  ~DelayLine();
  DelayLine(const DelayLine&) = delete;
  DelayLine& operator=(const DelayLine&) = delete;

  // Queues the bytes; false once a write to the socket has failed.
  bool Send(const char* Data, size_t Count);
  // Waits until everything queued has been written (or a write failed).
  void Drain();

 private:
  using Clock = std::chrono::steady_clock;
  void Run();

  int fd_;
  std::chrono::milliseconds delay_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::pair<Clock::time_point, std::string>> queue_;
  bool stopping_ = false, failed_ = false, writing_ = false;
  std::thread thread_;
};

}  // namespace msde::testkit
