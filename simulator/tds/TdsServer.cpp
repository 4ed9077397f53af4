#include "tds/TdsServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>

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
  if (spare_fd_ < 0) spare_fd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
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
      if (errno == EMFILE || errno == ENFILE) {
        RefuseWithoutDescriptors();
        continue;
      }
      // Errors of the connection being accepted, not of the listening socket (accept(2)).
      if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO || errno == ENETDOWN ||
          errno == ENOPROTOOPT || errno == EHOSTDOWN || errno == ENONET ||
          errno == EHOSTUNREACH || errno == ENETUNREACH || errno == ENOBUFS || errno == ENOMEM)
        continue;
      return;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (!Serve(fd)) ::close(fd);
  }
}

bool TdsServer::Serve(int fd) {
  std::lock_guard lock(mutex_);
  ReapFinished();
  if (clients_.size() >= options_.max_connections) return false;
  try {
    auto connection = std::make_shared<Connection>(engine_, fd, options_);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([connection, finished] {
      connection->Run();
      *finished = true;
    });
    clients_.push_back(Client{std::move(connection), std::move(thread), std::move(finished)});
    return true;
  } catch (const std::system_error&) {
    // No thread to be had: the connection, which owns the descriptor now, closes it.
    return true;
  }
}

void TdsServer::RefuseWithoutDescriptors() {
  {
    // Connections that ended still hold their descriptors until they are reaped.
    std::lock_guard lock(mutex_);
    if (ReapFinished() > 0) return;
  }
  if (spare_fd_ >= 0) {
    ::close(spare_fd_);
    int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) ::close(fd);
    spare_fd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  }
  if (spare_fd_ < 0) {
    // Another thread took the spare: wait for descriptors to come free, then take it back.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    spare_fd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  }
}

size_t TdsServer::ReapFinished() {
  size_t reaped = 0;
  for (auto it = clients_.begin(); it != clients_.end();) {
    if (*it->finished) {
      it->thread.join();
      it = clients_.erase(it);
      ++reaped;
    } else {
      ++it;
    }
  }
  return reaped;
}

void TdsServer::Stop() {
  if (listen_fd_ < 0) return;
  stopping_ = true;
  ::shutdown(listen_fd_, SHUT_RDWR);  // wakes the blocked accept
  acceptor_.join();
  ::close(listen_fd_);
  listen_fd_ = -1;
  if (spare_fd_ >= 0) ::close(spare_fd_);
  spare_fd_ = -1;
  std::list<Client> clients;
  {
    std::lock_guard lock(mutex_);
    clients.swap(clients_);
  }
  for (auto& c : clients) c.connection->Shutdown();
  for (auto& c : clients) c.thread.join();
}

}  // namespace msde::tds
