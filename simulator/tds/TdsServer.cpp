#include "tds/TdsServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "tds/Connection.h"

namespace msde::tds {

TdsServer::TdsServer(Engine& engine, ServerOptions options) : engine_(engine), options_(options) {}

TdsServer::~TdsServer() { Stop(); }

int TdsServer::Start(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  int one = 1;
  // A restarted server takes its port back while old connections linger in TIME_WAIT.
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 64) != 0) {
    std::string error = std::strerror(errno);
    ::close(fd);
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + error);
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  listen_fd_ = fd;
  port_ = ntohs(address.sin_port);
  stopping_ = false;
  acceptor_ = std::thread([this] { AcceptClients(); });
  return port_;
}

void TdsServer::AcceptClients() {
  for (;;) {
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED || errno == EMFILE || errno == ENFILE) continue;
      return;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard lock(mutex_);
    ReapFinished();
    if (clients_.size() >= options_.max_connections) {
      ::close(fd);
      continue;
    }
    auto connection = std::make_shared<Connection>(engine_, fd, options_);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    clients_.push_back(Client{connection, std::thread([connection, finished] {
                                connection->Run();
                                *finished = true;
                              }),
                              finished});
  }
}

void TdsServer::ReapFinished() {
  for (auto it = clients_.begin(); it != clients_.end();) {
    if (*it->finished) {
      it->thread.join();
      it = clients_.erase(it);
    } else {
      ++it;
    }
  }
}

void TdsServer::Stop() {
  if (listen_fd_ < 0) return;
  stopping_ = true;
  ::shutdown(listen_fd_, SHUT_RDWR);  // wakes the blocked accept
  acceptor_.join();
  ::close(listen_fd_);
  listen_fd_ = -1;
  std::list<Client> clients;
  {
    std::lock_guard lock(mutex_);
    clients.swap(clients_);
  }
  for (auto& c : clients) c.connection->Shutdown();
  for (auto& c : clients) c.thread.join();
}

}  // namespace msde::tds
