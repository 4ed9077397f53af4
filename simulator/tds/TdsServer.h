#pragma once
// The listening side of msde-sim: accepts TDS clients on 127.0.0.1 and serves each on its
// own thread against one engine.
#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include "Engine.h"
#include "tds/ServerOptions.h"

namespace msde::tds {

class Connection;

class TdsServer {
 public:
  explicit TdsServer(Engine& engine, ServerOptions options = {});
  ~TdsServer();
  TdsServer(const TdsServer&) = delete;
  TdsServer& operator=(const TdsServer&) = delete;

  // Listens on 127.0.0.1:Port (0: a free port) and starts accepting; returns the port.
  // Raises std::runtime_error when the port cannot be had.
  int Start(int port);
  // Stops accepting, ends every connection (freeing its session) and waits for them.
  void Stop();
  int Port() const { return port_; }

 private:
  struct Client {
    std::shared_ptr<Connection> connection;
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };
  void AcceptClients();
  // Starts serving a new client; false when the system cannot give it a thread.
  bool Serve(int fd);
  size_t ReapFinished();  // joins the connections that ended; how many
  // Out of descriptors: turns the next waiting client away with the spare descriptor, so
  // that it does not wait unanswered and the accept loop does not spin.
  void RefuseWithoutDescriptors();

  Engine& engine_;
  ServerOptions options_;
  int listen_fd_ = -1;
  int spare_fd_ = -1;  // held back for RefuseWithoutDescriptors
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread acceptor_;
  std::mutex mutex_;
  std::list<Client> clients_;
};

}  // namespace msde::tds
