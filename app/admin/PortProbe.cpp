#include "app/admin/PortProbe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace vandrel::app::admin {

namespace {

using TAddresses = std::unique_ptr<addrinfo, decltype(&freeaddrinfo)>;

TAddresses Resolve(const std::string& Host, int Port, int Type) {
  addrinfo hints{};
  hints.ai_socktype = Type;
  addrinfo* found = nullptr;
  if (getaddrinfo(Host.c_str(), std::to_string(Port).c_str(), &hints, &found) != 0) found = nullptr;
  return TAddresses(found, freeaddrinfo);
}

// Waits for Events on Socket for at most Milliseconds; true when they came.
bool WaitFor(int Socket, short Events, int Milliseconds) {
  pollfd p{Socket, Events, 0};
  int ready;
  do {
    ready = poll(&p, 1, Milliseconds);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

}  // namespace

bool TcpPortAnswers(const std::string& Host, int Port, int Milliseconds) {
  const TAddresses addresses = Resolve(Host, Port, SOCK_STREAM);
  for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
    const int s = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) continue;
    bool answered = connect(s, a->ai_addr, a->ai_addrlen) == 0;
    if (!answered && errno == EINPROGRESS && WaitFor(s, POLLOUT, Milliseconds)) {
      int error = 0;
      socklen_t length = sizeof error;
      answered = getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
    }
    close(s);
    if (answered) return true;
  }
  return false;
}

std::string BrowserAnswer(const std::string& Host, int Milliseconds) {
  const TAddresses addresses = Resolve(Host, 1434, SOCK_DGRAM);
  for (const addrinfo* a = addresses.get(); a; a = a->ai_next) {
    const int s = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) continue;
    // CLNT_UCAST_EX: "which instances run on this machine?"
    const char request = 0x03;
    std::string answer;
    if (sendto(s, &request, 1, 0, a->ai_addr, a->ai_addrlen) == 1 && WaitFor(s, POLLIN, Milliseconds)) {
      char buffer[65536];
      const ssize_t n = recv(s, buffer, sizeof buffer, 0);
      // SVR_RESP: 0x05, a two-byte length, then the text.
      if (n > 3 && buffer[0] == 0x05) answer.assign(buffer + 3, static_cast<size_t>(n - 3));
    }
    close(s);
    if (!answer.empty()) return answer;
  }
  return {};
}

}  // namespace vandrel::app::admin
