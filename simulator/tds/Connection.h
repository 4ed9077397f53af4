#pragma once
// One client connection: a reader thread that reassembles requests (and notices an
// attention at once, even while a statement runs) and the connection's own thread that
// logs in, runs batches through the engine and writes the responses.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "Engine.h"

namespace msde::tds {
class BatchResponse;
}
#include "tds/Packet.h"
#include "tds/PreparedStatements.h"
#include "tds/ServerOptions.h"

namespace msde::tds {

class Connection {
 public:
  Connection(Engine& engine, int fd, const ServerOptions& options);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Serves the client until it leaves, is killed or the server stops; then frees the session.
  void Run();
  // Ends the connection from any thread.
  void Shutdown() { socket_->Shutdown(); }

 private:
  void ReadRequests();
  std::optional<RequestMessage> Pop(int TimeoutMs);
  bool LogIn();
  void Serve();
  void RunBatch(const RequestMessage& request);
  void RunSql(const std::string& sql);
  // False when the request cannot be read: the connection then ends.
  bool RunTransactionRequest(const RequestMessage& request);
  void RunCalls(const RequestMessage& request);
  // Runs Sql through the engine; an engine failure becomes an error in the response.
  void Execute(const std::string& sql, BatchResponse& response);
  // The answer to a TDS 4.2 or 5.0 login: an error the client can read, then the end.
  void RefuseOldLogin();
  // A whole response of one error and a DONE, for a request that cannot be run.
  void RefuseRequest(int number, int severity, const std::string& text);
  void WriteLoginResponse(uint32_t PacketSize);

  Engine& engine_;
  ServerOptions options_;
  std::shared_ptr<Socket> socket_;
  ResponseWriter out_;
  std::string server_name_;
  ServerProduct product_;
  std::thread reader_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<RequestMessage> queue_;
  bool reader_done_ = false;
  bool closing_ = false;
  std::shared_ptr<Session> session_;  // set once logged in; the reader reads it under mutex_

  int attentions_answered_ = 0;
  PreparedStatements prepared_;  // acknowledged at the end of a batch, before being dequeued
};

}  // namespace msde::tds
