// Clients cannot take the server from each other: idle sessions do not fill a session table,
// a client that never logs in is dropped, and running out of descriptors turns new clients
// away (and recovers) instead of leaving them unanswered while the server spins.
#include <gmock/gmock.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <vector>

#include "TdsRawClient.h"
#include "TdsTestServer.h"
#include "tds/Packet.h"

namespace msde::testing {
namespace {

TEST_F(TdsTest, ManyIdleSessionsDoNotLockOutAnotherClient) {
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 300; ++i) {
    idle.push_back(std::make_unique<RawClient>(port_));
    ASSERT_FALSE(idle.back()->LogIn(StubEngine::kUser, StubEngine::kPassword).empty()) << i;
  }
  EXPECT_EQ(Connect()->Scalar("select 1"), "1");
}

class TdsLoginTimeoutTest : public TdsTest {
 protected:
  tds::ServerOptions Options() const override {
    tds::ServerOptions o;
    o.login_timeout_ms = 300;
    return o;
  }
};

TEST_F(TdsLoginTimeoutTest, ClientsThatNeverLogInAreDropped) {
  RawClient silent(port_);
  EXPECT_TRUE(silent.ClosedByServer());

  RawClient after_prelogin(port_);
  // A pre-login alone, then nothing: the login's one deadline has run out all the same.
  after_prelogin.SendMessage(tds::PacketType::PreLogin, Bytes{0xFF});
  EXPECT_TRUE(after_prelogin.ClosedByServer());

  RawClient half_login(port_);
  Bytes login = Login7Record(StubEngine::kUser, StubEngine::kPassword, 4096, 0x71000001);
  // The first packet of a login, and never the rest.
  Bytes first_packet(login.begin(), login.begin() + 64);
  const uint8_t header[8] = {tds::PacketType::Login7, 0, 0, 64, 0, 0, 1, 0};
  std::copy(header, header + 8, first_packet.begin());
  half_login.SendBytes(first_packet);
  EXPECT_TRUE(half_login.ClosedByServer());

  EXPECT_TRUE(engine_.WaitForLiveSessions(0));
  EXPECT_EQ(Connect()->Scalar("select 1"), "1");
}

// A server in a child process whose descriptor limit is low; ended when the test closes
// the pipe.
class LimitedServer {
 public:
  explicit LimitedServer(rlim_t descriptors) {
    int to_child[2], from_child[2];
    if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(to_child[1]);
      ::close(from_child[0]);
      rlimit limit{descriptors, descriptors};
      ::setrlimit(RLIMIT_NOFILE, &limit);
      int port = 0;
      {
        StubEngine engine;
        tds::TdsServer server(engine);
        port = server.Start(0);
        (void)::write(from_child[1], &port, sizeof port);
        char c;
        (void)::read(to_child[0], &c, 1);  // until the test is done
        server.Stop();
      }
      ::_exit(0);
    }
    ::close(to_child[0]);
    ::close(from_child[1]);
    stop_fd_ = to_child[1];
    if (::read(from_child[0], &port_, sizeof port_) != sizeof port_) port_ = 0;
    ::close(from_child[0]);
  }
  ~LimitedServer() {
    ::close(stop_fd_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  int Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int stop_fd_ = -1;
  int port_ = 0;
};

TEST(TdsDescriptorsTest, RunningOutOfDescriptorsRefusesNewClientsAndRecovers) {
  LimitedServer server(40);
  ASSERT_NE(server.Port(), 0);
  std::vector<std::unique_ptr<RawClient>> clients;
  bool refused = false;
  for (int i = 0; i < 60 && !refused; ++i) {
    auto client = std::make_unique<RawClient>(server.Port());
    if (client->LogIn(StubEngine::kUser, StubEngine::kPassword).empty())
      refused = true;
    else
      clients.push_back(std::move(client));
  }
  ASSERT_TRUE(refused) << "the server never ran out of descriptors";
  ASSERT_GT(clients.size(), 10u);
  // The next client is turned away at once rather than left waiting unanswered.
  RawClient extra(server.Port());
  EXPECT_TRUE(extra.ClosedByServer());
  // The clients it has stay served, and once some leave, new ones are served again.
  EXPECT_FALSE(clients.front()->Batch("select 1").empty());
  clients.resize(clients.size() / 2);
  // The server notices the departures on its own threads; until then it may still refuse.
  bool served = false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!served && std::chrono::steady_clock::now() < deadline) {
    RawClient again(server.Port());
    served = !again.LogIn(StubEngine::kUser, StubEngine::kPassword).empty();
  }
  EXPECT_TRUE(served);
}

}  // namespace
}  // namespace msde::testing
