#pragma once
// A connected TCP socket shared by a connection's reader and writer threads. Shutdown may
// be called from any thread (server stop, KILL) and wakes both; the descriptor itself is
// closed only by the destructor, so no other thread can ever see it reused.
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace msde::tds {

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  enum class ReadStatus { Ok, Closed, TimedOut };
  // Reads exactly n bytes. TimeoutMs < 0 waits as long as the peer stays connected.
  ReadStatus ReadExact(uint8_t* buffer, size_t n, int TimeoutMs);
  // Sends everything or returns false (peer gone or socket shut down).
  bool SendAll(const uint8_t* data, size_t n);
  void Shutdown();
  bool IsShutdown() const;

 private:
  int fd_;
  mutable std::mutex mutex_;
  bool shut_down_ = false;
};

}  // namespace msde::tds
