#include "tds/Connection.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <system_error>

#include "tds/BatchResponse.h"
#include "tds/Login7.h"
#include "tds/PreLogin.h"
#include "tds/RpcRequest.h"
#include "tds/SqlBatch.h"
#include "tds/Tokens.h"
#include "tds/TransactionRequest.h"

namespace msde::tds {
namespace {

// SQL Server's own messages for requests that never reach the engine.
constexpr int kMsgProtocolError = 4002;
constexpr int kMsgOutOfMemory = 701;
constexpr int kMsgInternalError = 8624;
constexpr int kMsgNoDtc = 8501;

Message ServerMessage(int number, int severity, int state, std::string text) {
  Message m;
  m.number = number;
  m.severity = severity;
  m.state = state;
  m.text = std::move(text);
  return m;
}

}  // namespace

Connection::Connection(Engine& engine, int fd, const ServerOptions& options)
    : engine_(engine),
      options_(options),
      socket_(std::make_shared<Socket>(fd)),
      out_(*socket_, kDefaultPacketSize),
      server_name_(engine.ServerName()) {}

Connection::~Connection() {
  socket_->Shutdown();
  if (reader_.joinable()) reader_.join();
}

void Connection::ReadRequests() {
  MessageReader reader(*socket_, options_.max_request_bytes, options_.in_message_timeout_ms);
  while (auto message = reader.Next()) {
    std::unique_lock lock(mutex_);
    if (message->type == PacketType::Attention && session_) session_->cancel_requested = true;
    changed_.wait(lock, [&] { return queue_.size() < options_.max_queued_requests || closing_; });
    if (closing_) break;
    queue_.push_back(std::move(*message));
    changed_.notify_all();
  }
  std::lock_guard lock(mutex_);
  reader_done_ = true;
  // A client that left cannot take more results: let a long statement stop early.
  if (session_) session_->cancel_requested = true;
  changed_.notify_all();
}

std::optional<RequestMessage> Connection::Pop(int TimeoutMs) {
  std::unique_lock lock(mutex_);
  auto ready = [&] { return !queue_.empty() || reader_done_; };
  if (TimeoutMs < 0) {
    changed_.wait(lock, ready);
  } else if (!changed_.wait_for(lock, std::chrono::milliseconds(TimeoutMs), ready)) {
    return std::nullopt;
  }
  if (queue_.empty()) return std::nullopt;
  RequestMessage message = std::move(queue_.front());
  queue_.pop_front();
  changed_.notify_all();
  return message;
}

void Connection::Run() {
  try {
    reader_ = std::thread([this] { ReadRequests(); });
  } catch (const std::system_error&) {
    return;  // the system has no thread to spare: the socket closes with the connection
  }
  if (LogIn()) Serve();
  socket_->Shutdown();
  {
    std::lock_guard lock(mutex_);
    closing_ = true;  // a reader waiting for queue room must not wait for ever
    changed_.notify_all();
  }
  reader_.join();
  std::shared_ptr<Session> session;
  {
    std::lock_guard lock(mutex_);
    session = session_;
  }
  if (!session) return;
  try {
    engine_.Logout(*session);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "msde-sim: logout failed inside the engine: %s\n", e.what());
  }
}

bool Connection::LogIn() {
  // One deadline for the whole login, so that a client dribbling packets cannot hold a
  // session that never logs in.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.login_timeout_ms);
  auto left = [&] {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(0, ms.count()));
  };
  auto request = Pop(left());
  if (!request || request->oversized) return false;
  try {
    if (request->type == PacketType::PreLogin) {
      out_.Tokens().Raw(PreLoginReply(request->payload));
      if (!out_.EndMessage()) return false;
      request = Pop(left());
      if (!request || request->oversized) return false;
    }
    if (request->type == PacketType::PreTds7Login) {
      RefuseOldLogin();
      return false;
    }
    if (request->type != PacketType::Login7) return false;
    Login7 login = ParseLogin7(request->payload);
    const uint32_t major = login.tds_version >> 24;
    if (major < 0x70) {
      RefuseRequest(kMsgProtocolError, 16,
                    "The incoming tabular data stream (TDS) protocol stream is incorrect.");
      return false;
    }
    out_.SetTds70(major == 0x70);
    // SQL Server 2005 speaks TDS 7.2 with the clients that ask for it or later; 2000 answers
    // them with 7.1.
    product_ = engine_.Product();
    out_.SetTds72(product_.tds72 && major >= 0x72);
    std::vector<Message> errors;
    auto session = engine_.Login(login.request, errors);
    if (!session) {
      for (const auto& e : errors) WriteMessage(out_.Tokens(), Token::Error, e, server_name_);
      WriteDone(out_.Tokens(), DoneStatus::Error, 0, 0);
      out_.EndMessage();
      return false;
    }
    std::weak_ptr<Socket> socket = socket_;
    session->on_killed = [socket] {
      if (auto s = socket.lock()) s->Shutdown();
    };
    {
      std::lock_guard lock(mutex_);
      session_ = session;
    }
    out_.SetSpid(session->spid);
    uint32_t size = login.packet_size;
    if (size < kMinPacketSize || size > kMaxPacketSize) size = kDefaultPacketSize;
    WriteLoginResponse(size);
    return out_.EndMessage() && !session->killed;
  } catch (const ProtocolError&) {
    return false;  // a login that cannot be read gets no answer: SQL Server hangs up too
  } catch (const std::exception& e) {
    std::fprintf(stderr, "msde-sim: login failed inside the engine: %s\n", e.what());
    return false;
  }
}

void Connection::WriteLoginResponse(uint32_t PacketSize) {
  Writer& w = out_.Tokens();
  const Session& s = *session_;
  WriteEnvChange(w, EnvType::Database, s.database, "master");
  WriteMessage(w, Token::Info,
               ServerMessage(5701, 0, 2, "Changed database context to '" + s.database + "'."),
               server_name_);
  if (out_.Tds70()) {
    // TDS 7.0 columns carry no collations: the sort order's locale (Polish) and its
    // comparison flags (ignore case, kana type and width) stand for Polish_CI_AS. The
    // server's SQL collation follows as well, since a 7.0 client (jTDS) takes its code page
    // from it and refuses to log in without one.
    WriteEnvChange(w, EnvType::UnicodeLocale, "1045", "");
    WriteEnvChange(w, EnvType::UnicodeComparison, "196609", "");
  }
  WriteCollationChange(w);
  WriteEnvChange(w, EnvType::Language, s.language, "");
  WriteMessage(w, Token::Info,
               ServerMessage(5703, 0, 1, "Changed language setting to " + s.language + "."),
               server_name_);
  WriteLoginAck(w, out_.Tds72() ? kTds72 : out_.Tds70() ? kTds70 : kTds71, product_);
  WriteEnvChange(w, EnvType::PacketSize, std::to_string(PacketSize),
                 std::to_string(kDefaultPacketSize));
  WriteDone(w, DoneStatus::Final, 0, 0);
  out_.SetPacketSize(PacketSize);
}

void Connection::Serve() {
  while (auto request = Pop(-1)) {
    switch (request->type) {
      case PacketType::Attention:
        // An attention that arrived after its batch had ended still needs its answer.
        if (attentions_answered_ > 0) {
          --attentions_answered_;
        } else {
          WriteDone(out_.Tokens(), DoneStatus::Attention, 0, 0);
          out_.EndMessage();
        }
        session_->cancel_requested = false;
        break;
      case PacketType::SqlBatch:
        if (request->oversized)
          RefuseRequest(kMsgOutOfMemory, 17,
                        "There is insufficient system memory to run this query.");
        else
          RunBatch(*request);
        break;
      case PacketType::Rpc:
        if (request->oversized)
          RefuseRequest(kMsgOutOfMemory, 17,
                        "There is insufficient system memory to run this query.");
        else
          RunCalls(*request);
        break;
      case PacketType::TransactionManager:
        if (!out_.Tds72())
          RefuseRequest(kMsgProtocolError, 16,
                        "The incoming tabular data stream (TDS) "
                        "protocol stream is incorrect. Transaction manager requests are not served.");
        else if (!RunTransactionRequest(*request))
          return;
        break;
      default:
        return;  // not something a SQL Server 2000 client sends after login
    }
    if (out_.Broken() || session_->killed) return;
  }
}

void Connection::RunBatch(const RequestMessage& request) {
  std::string text;
  try {
    text = BatchText(request.payload);
  } catch (const ProtocolError&) {
    RefuseRequest(kMsgProtocolError, 16,
                  "The incoming tabular data stream (TDS) protocol stream is incorrect.");
    return;
  }
  RunSql(text);
}

void Connection::RunSql(const std::string& sql) {
  BatchResponse response(out_, *session_, server_name_);
  Execute(sql, response);
  bool attention = session_->cancel_requested;
  if (attention) ++attentions_answered_;
  response.Finish(attention);
}

bool Connection::RunTransactionRequest(const RequestMessage& request) {
  TransactionRequest tm;
  try {
    tm = ParseTransactionRequest(request.payload);
  } catch (const ProtocolError&) {
    return false;  // a request of an unknown type ends the connection
  }
  if (tm.distributed)
    RefuseRequest(kMsgNoDtc, 16, "MSDTC on server '" + server_name_ + "' is unavailable.");
  else
    RunSql(tm.sql);
  return true;
}

void Connection::RunCalls(const RequestMessage& request) {
  std::vector<RpcCall> calls;
  try {
    calls = ParseRpcRequest(request.payload, !out_.Tds70());
  } catch (const ProtocolError&) {
    RefuseRequest(kMsgProtocolError, 16,
                  "The incoming tabular data stream (TDS) remote procedure call (RPC) protocol "
                  "stream is incorrect.");
    return;
  }
  for (size_t i = 0; i < calls.size(); ++i) {
    CallPlan plan = prepared_.Plan(calls[i]);
    BatchResponse response(out_, *session_, server_name_, true);
    if (plan.error) response.Error(*plan.error);
    if (plan.sql) session_->rpc_name = calls[i].procedure;
    if (plan.call) {
      try {
        engine_.ExecuteCall(*session_, *plan.call, response);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "msde-sim: call failed inside the engine: %s\n", e.what());
        response.Error(ServerMessage(kMsgInternalError, 16, 1, "Internal SQL Server error."));
      }
      for (ReturnValue& o : plan.outputs) o.value = plan.call->args[o.ordinal].value;
    } else if (plan.sql) {
      Execute(*plan.sql, response);
    }
    if (session_->cancel_requested) {
      ++attentions_answered_;
      response.Finish(true);
      return;
    }
    response.FinishCall(plan.outputs, i + 1 < calls.size(), plan.call ? plan.call->return_status : std::nullopt);
  }
  out_.EndMessage();
}

void Connection::Execute(const std::string& sql, BatchResponse& response) {
  try {
    engine_.ExecuteBatch(*session_, sql, response);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "msde-sim: batch failed inside the engine: %s\n", e.what());
    response.Error(ServerMessage(kMsgInternalError, 16, 1, "Internal SQL Server error."));
  }
}

void Connection::RefuseOldLogin() {
  // In the TDS 4.2 forms such a client reads: single-byte texts, no LOGINACK.
  Writer& w = out_.Tokens();
  const std::string text =
      "The incoming tabular data stream (TDS) protocol stream is incorrect. This server "
      "accepts TDS 7.0 and later logins only.";
  w.U8(Token::Error);
  size_t at = w.BeginLength16();
  w.U32(kMsgProtocolError);
  w.U8(1);   // state
  w.U8(16);  // severity
  w.U16(static_cast<uint16_t>(text.size()));
  w.Raw(text.data(), text.size());
  w.U8(static_cast<uint8_t>(std::min<size_t>(server_name_.size(), 255)));
  w.Raw(server_name_.data(), std::min<size_t>(server_name_.size(), 255));
  w.U8(0);  // no procedure
  w.U16(1);
  w.EndLength16(at);
  WriteDone(w, DoneStatus::Error, 0, 0);
  out_.EndMessage();
}

void Connection::RefuseRequest(int number, int severity, const std::string& text) {
  WriteMessage(out_.Tokens(), Token::Error, ServerMessage(number, severity, 1, text), server_name_);
  WriteDone(out_.Tokens(), DoneStatus::Error, 0, 0);
  out_.EndMessage();
}

}  // namespace msde::tds
