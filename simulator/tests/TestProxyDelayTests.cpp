// The test kit's proxy as a long link: every chunk reaches the other side a fixed time after
// it arrived, in order, whole, and chunks in flight do not wait for one another (the delay of
// a link is not its bandwidth).
#include <gmock/gmock.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "testkit/OdbcClient.h"
#include "testkit/SimServer.h"
#include "testkit/TestProxy.h"

namespace msde::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A loopback server that sends back whatever one client sends it.
class EchoServer {
 public:
  EchoServer() {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listen_, 1);
    ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      const int fd = ::accept(listen_, nullptr, nullptr);
      char buffer[4096];
      for (ssize_t n; fd >= 0 && (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) ::send(fd, buffer, size_t(n), MSG_NOSIGNAL);
      if (fd >= 0) ::close(fd);
    });
  }
  ~EchoServer() {
    ::shutdown(listen_, SHUT_RDWR);
    thread_.join();
    ::close(listen_);
  }
  int Port() const { return port_; }

 private:
  int listen_ = -1, port_ = 0;
  std::thread thread_;
};

int ConnectTo(int Port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(Port));
  return ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

TEST(TestProxyDelay, AStatementTakesARoundTripAndItsRowsArriveWholeAndInOrder) {
  testkit::SimServer server;
  testkit::TestProxy proxy(server.Port(), 100ms);
  testkit::OdbcClient direct(server.ConnectionString("sa", ""));
  testkit::OdbcClient delayed("DRIVER={SQL Server};SERVER=127.0.0.1," + std::to_string(proxy.Port()) + ";UID=sa;PWD=;");
  const auto start = Clock::now();
  EXPECT_EQ(delayed.Scalar("select 1"), "1");
  EXPECT_GE(Clock::now() - start, 200ms);
  const char* query = "select name, dbid from master..sysdatabases order by dbid";
  EXPECT_EQ(delayed.Exec(query).Rows(), direct.Exec(query).Rows());
}

// Ten packets sent at once come back each one round trip after it left: the last of them
// long before ten round trips, which a link delaying one chunk after another would take.
TEST(TestProxyDelay, ChunksInFlightDoNotWaitForOneAnother) {
  EchoServer echo;
  testkit::TestProxy proxy(echo.Port(), 100ms);
  const int fd = ConnectTo(proxy.Port());
  ASSERT_GE(fd, 0);
  std::string sent;
  for (int i = 0; i < 10; ++i) {
    // A TDS packet's header (type, status, length) and its payload, which the proxy reads whole.
    std::string packet = {char(0x0E), char(0x01), char(0), char(8 + 4), 0, 0, char(i), 0};
    packet += "pak" + std::to_string(i);
    sent += packet;
  }
  const auto start = Clock::now();
  ASSERT_EQ(::send(fd, sent.data(), sent.size(), MSG_NOSIGNAL), ssize_t(sent.size()));
  std::string received;
  char buffer[4096];
  while (received.size() < sent.size()) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    ASSERT_GT(n, 0);
    received.append(buffer, size_t(n));
  }
  const auto elapsed = Clock::now() - start;
  ::close(fd);
  EXPECT_EQ(received, sent);
  EXPECT_GE(elapsed, 200ms);
  EXPECT_LT(elapsed, 2000ms);
}

}  // namespace
}  // namespace msde::testing
