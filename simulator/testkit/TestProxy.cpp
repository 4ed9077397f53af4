#include "testkit/TestProxy.h"

#include "testkit/DelayLine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace msde::testkit {

namespace {

constexpr unsigned char kSqlBatch = 0x01;

bool ReadFully(int Fd, char* Into, size_t Count) {
  while (Count > 0) {
    const ssize_t n = ::recv(Fd, Into, Count, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    Into += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteFully(int Fd, const char* From, size_t Count) {
  while (Count > 0) {
    const ssize_t n = ::send(Fd, From, Count, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    From += n;
    Count -= static_cast<size_t>(n);
  }
  return true;
}

sockaddr_in Loopback(int Port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(Port));
  return address;
}

// UTF-8 text (of the Basic Multilingual Plane) as UTF-16LE bytes.
std::string Utf16Le(const std::string& Text) {
  std::string out;
  for (size_t i = 0; i < Text.size();) {
    const auto b = static_cast<unsigned char>(Text[i]);
    const int more = b < 0x80 ? 0 : b < 0xE0 ? 1 : 2;
    uint32_t c = more == 0 ? b : more == 1 ? (b & 0x1F) : (b & 0x0F);
    for (int k = 1; k <= more && i + k < Text.size(); ++k) c = (c << 6) | (Text[i + k] & 0x3F);
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>((c >> 8) & 0xFF);
    i += static_cast<size_t>(more) + 1;
  }
  return out;
}

}  // namespace

struct TestProxy::Link {
  int client = -1, server = -1;
  std::thread up, down;
  std::atomic<size_t> answered{0};  // bytes the server has sent so far
  std::atomic<bool> closed{false};   // the server's side has ended
  bool hold_answer = false;          // the next answer stops after its first packet
  size_t answer_limit = SIZE_MAX;    // ... which ends at this many bytes
  std::unique_ptr<DelayLine> to_server, to_client;  // with a one-way delay
  bool ToServer(const char* Data, size_t Count) {
    return to_server ? to_server->Send(Data, Count) : WriteFully(server, Data, Count);
  }
  bool ToClient(const char* Data, size_t Count) {
    return to_client ? to_client->Send(Data, Count) : WriteFully(client, Data, Count);
  }
  // What is still on its way is delivered before the link goes, as a closing peer's last bytes.
  void Drain() {
    if (to_server) to_server->Drain();
    if (to_client) to_client->Drain();
  }
  void Cut() {
    ::shutdown(client, SHUT_RDWR);
    ::shutdown(server, SHUT_RDWR);
  }
};

TestProxy::TestProxy(int ServerPort, std::chrono::milliseconds OneWayDelay)
    : server_port_(ServerPort), delay_(OneWayDelay) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);  // a free port
  socklen_t size = sizeof address;
  if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_fd_, 16) != 0 || ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
    throw std::runtime_error("TestProxy: no loopback port");
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

TestProxy::~TestProxy() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (auto& link : links_) link->Cut();
  }
  changed_.notify_all();
  ::shutdown(listen_fd_, SHUT_RDWR);
  acceptor_.join();
  for (auto& link : links_) {
    link->up.join();
    link->down.join();
    link->to_server.reset();
    link->to_client.reset();
    ::close(link->client);
    ::close(link->server);
  }
  ::close(listen_fd_);
}

void TestProxy::CutAt(const std::string& Fragment) {
  std::lock_guard lock(mutex_);
  action_ = Action::Cut;
  fragment_ = Utf16Le(Fragment);
}

void TestProxy::HoldAt(const std::string& Fragment) {
  std::lock_guard lock(mutex_);
  action_ = Action::Hold;
  fragment_ = Utf16Le(Fragment);
  released_ = false;
}

void TestProxy::HoldAnswerAt(const std::string& Fragment) {
  std::lock_guard lock(mutex_);
  action_ = Action::HoldAnswer;
  fragment_ = Utf16Le(Fragment);
  released_ = false;
}

void TestProxy::Release() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
    // Released is no longer held, also before the relay's thread has woken to send it on: a
    // caller that asks again at once would release it twice.
    holding_ = false;
  }
  changed_.notify_all();
}

bool TestProxy::Holding() const {
  std::lock_guard lock(mutex_);
  return holding_;
}

void TestProxy::Accept() {
  for (;;) {
    const int client = ::accept(listen_fd_, nullptr, nullptr);
    if (client < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // the proxy is closing
    }
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(server_port_);
    if (server < 0 || ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      ::close(client);
      if (server >= 0) ::close(server);
      continue;
    }
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(client);
      ::close(server);
      return;
    }
    auto link = std::make_unique<Link>();
    link->client = client;
    link->server = server;
    if (delay_.count() > 0) {
      link->to_server = std::make_unique<DelayLine>(server, delay_);
      link->to_client = std::make_unique<DelayLine>(client, delay_);
    }
    Link& l = *link;
    links_.push_back(std::move(link));
    l.up = std::thread([this, &l] { Upstream(l); });
    l.down = std::thread([this, &l] { Downstream(l); });
  }
}

bool TestProxy::Matches(const std::string& Payload) {
  return action_ != Action::None && !fragment_.empty() && Payload.find(fragment_) != std::string::npos;
}

// Client to server, one TDS packet at a time, so that a batch is seen whole.
void TestProxy::Upstream(Link& L) {
  for (;;) {
    char header[8];
    if (!ReadFully(L.client, header, sizeof header)) break;
    const size_t length = (static_cast<unsigned char>(header[2]) << 8) | static_cast<unsigned char>(header[3]);
    std::string packet(header, sizeof header);
    if (length > sizeof header) {
      packet.resize(length);
      if (!ReadFully(L.client, packet.data() + sizeof header, length - sizeof header)) break;
    }
    std::unique_lock lock(mutex_);
    if (static_cast<unsigned char>(header[0]) == kSqlBatch && Matches(packet)) {
      const Action action = action_;
      action_ = Action::None;
      if (action == Action::Cut) {
        ++cuts_;
        L.Cut();
        break;
      }
      if (action == Action::HoldAnswer) {
        L.hold_answer = true;
        lock.unlock();
        if (!L.ToServer(packet.data(), packet.size())) break;
        continue;
      }
      holding_ = true;
      changed_.wait(lock, [this] { return released_ || stopping_; });
      holding_ = false;
      if (stopping_) break;
      const size_t before = L.answered;
      lock.unlock();
      if (!L.ToServer(packet.data(), packet.size())) break;
      lock.lock();
      changed_.wait(lock, [&] { return L.answered > before || L.closed || stopping_; });
      continue;
    }
    lock.unlock();
    if (!L.ToServer(packet.data(), packet.size())) break;
  }
  L.Drain();
  L.Cut();
}

void TestProxy::Downstream(Link& L) {
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::recv(L.server, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    size_t passes = static_cast<size_t>(n);
    {
      std::lock_guard lock(mutex_);
      if (L.hold_answer && L.answer_limit == SIZE_MAX && n >= 4)  // the first packet's length
        L.answer_limit = L.answered + ((static_cast<unsigned char>(buffer[2]) << 8) | static_cast<unsigned char>(buffer[3]));
      if (L.answer_limit != SIZE_MAX) passes = std::min(passes, L.answer_limit - L.answered);
    }
    if (!L.ToClient(buffer, passes)) break;
    {
      std::unique_lock lock(mutex_);
      L.answered += passes;
      if (passes < static_cast<size_t>(n)) {
        // The rest of the answer waits for Release.
        holding_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_ || stopping_; });
        holding_ = false;
        L.hold_answer = false;
        L.answer_limit = SIZE_MAX;
        if (stopping_) break;
        L.answered += static_cast<size_t>(n) - passes;
      }
    }
    if (passes < static_cast<size_t>(n) && !L.ToClient(buffer + passes, static_cast<size_t>(n) - passes)) break;
    changed_.notify_all();
  }
  L.Drain();
  L.Cut();
  {
    std::lock_guard lock(mutex_);
    L.closed = true;
  }
  changed_.notify_all();
}

}  // namespace msde::testkit
