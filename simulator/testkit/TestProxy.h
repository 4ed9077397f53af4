#pragma once
// A TCP relay on loopback between a client and msde-sim, for tests of what a client does when
// its connection breaks or hangs at a chosen statement. Every connection the client opens to
// the proxy's port is relayed to the server; the next SQL batch whose text holds a chosen
// fragment can instead end the connection (both sides see it go) or be held back until the
// test releases it. With a one-way delay it plays a long link (a VPN, a mobile connection):
// every chunk reaches the other side that long after it arrived.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace msde::testkit {

class TestProxy {
 public:
  // Listens on a free loopback port and relays to 127.0.0.1:ServerPort, each way OneWayDelay
  // late (a round trip then takes twice that).
  explicit TestProxy(int ServerPort, std::chrono::milliseconds OneWayDelay = std::chrono::milliseconds(0));
  ~TestProxy();
  TestProxy(const TestProxy&) = delete;
  TestProxy& operator=(const TestProxy&) = delete;

  int Port() const { return port_; }

  // The next batch that holds Fragment never reaches the server: its connection is cut.
  void CutAt(const std::string& Fragment);
  // The next batch that holds Fragment waits in the proxy, and so does everything the client
  // sends after it, until Release().
  void HoldAt(const std::string& Fragment);
  // The next batch that holds Fragment reaches the server, but only the first packet of its
  // answer reaches the client; the rest waits until Release(). A client reading rows has the
  // first ones and then waits for the server.
  void HoldAnswerAt(const std::string& Fragment);
  // The held batch goes on; what the client sent meanwhile (an attention) follows once the
  // server has begun to answer the batch, so the batch is carried out before it. A held
  // answer goes on.
  void Release();
  // A batch or an answer is being held now.
  bool Holding() const;
  // How many connections were cut so far.
  int Cuts() const { return cuts_; }

 private:
  struct Link;
  enum class Action { None, Cut, Hold, HoldAnswer };
  void Accept();
  void Upstream(Link& L);
  void Downstream(Link& L);
  bool Matches(const std::string& Payload);

  int listen_fd_ = -1;
  int port_ = 0;
  int server_port_;
  std::chrono::milliseconds delay_;
  std::thread acceptor_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<Link>> links_;
  Action action_ = Action::None;
  std::string fragment_;  // UTF-16LE, as the batch carries its text
  bool holding_ = false, released_ = false, stopping_ = false;
  std::atomic<int> cuts_{0};
};

}  // namespace msde::testkit
