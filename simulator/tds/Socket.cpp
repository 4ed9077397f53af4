#include "tds/Socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace msde::tds {

Socket::~Socket() { ::close(fd_); }

Socket::ReadStatus Socket::ReadExact(uint8_t* buffer, size_t n, int TimeoutMs) {
  size_t got = 0;
  while (got < n) {
    if (TimeoutMs >= 0) {
      pollfd p{fd_, POLLIN, 0};
      int r = ::poll(&p, 1, TimeoutMs);
      if (r < 0 && errno == EINTR) continue;
      if (r == 0) return ReadStatus::TimedOut;
      if (r < 0) return ReadStatus::Closed;
    }
    ssize_t r = ::recv(fd_, buffer + got, n - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return ReadStatus::Closed;
    got += static_cast<size_t>(r);
  }
  return ReadStatus::Ok;
}

bool Socket::SendAll(const uint8_t* data, size_t n) {
  size_t sent = 0;
  while (sent < n) {
    ssize_t r = ::send(fd_, data + sent, n - sent, MSG_NOSIGNAL);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    sent += static_cast<size_t>(r);
  }
  return true;
}

void Socket::Shutdown() {
  std::lock_guard lock(mutex_);
  if (shut_down_) return;
  shut_down_ = true;
  ::shutdown(fd_, SHUT_RDWR);
}

bool Socket::IsShutdown() const {
  std::lock_guard lock(mutex_);
  return shut_down_;
}

}  // namespace msde::tds
