#include "engine/SimEngine.h"

#include <algorithm>
#include <cstdio>

#include "engine/BatchRunner.h"
#include "engine/ErrorLog.h"
#include "engine/Lexer.h"
#include "engine/PasswordHash.h"
#include "engine/Statements.h"
#include "engine/Transactions.h"
#include "engine/Values.h"
#include "engine/Variables.h"

namespace msde {
namespace {

// Swallows what a login check would report; the checks' errors arrive as SqlError.
class NullSink : public BatchSink {
 public:
  void Columns(const std::vector<ColumnInfo>&) override {}
  void RowData(const Row&) override {}
  void Info(const Message&) override {}
  void Error(const Message&) override {}
  void Done(int64_t, bool) override {}
  void DatabaseChanged(const std::string&, const std::string&) override {}
};

Message LoginMessage(int number, int severity, int state, const std::string& text) {
  Message m;
  m.number = number;
  m.severity = severity;
  m.state = state;
  m.text = text;
  return m;
}

// The log's record of a refused login; the state tells why (5: no such login, 8: a wrong
// password), which the client is never told.
void LogFailedLogin(Model& model, const std::string& user, int state) {
  const bool is2005 = model.server.Is2005();
  const char* source = is2005 ? "Logon" : "logon";
  LogEvent(model, source, "Error: 18456, Severity: 14, State: " + std::to_string(state) + ".");
  LogEvent(model, source, "Login failed for user '" + user + "'." + (is2005 ? " [CLIENT: 127.0.0.1]" : ""));
}

}  // namespace

SimEngine::SimEngine(Model model) : model_(std::move(model)) {}

std::string SimEngine::ServerName() const {
  std::lock_guard<std::mutex> guard(mutex_);
  const ServerInfo& s = model_.server;
  return s.instance.empty() ? s.name : s.name + "\\" + s.instance;
}

ServerProduct SimEngine::Product() const {
  std::lock_guard<std::mutex> guard(mutex_);
  ServerProduct product;
  // "9.00.3042": major, minor, build.
  int major = 8, minor = 0, build = 2039;
  if (std::sscanf(model_.server.product_version.c_str(), "%d.%d.%d", &major, &minor, &build) == 3) {
    product.major = static_cast<uint8_t>(major);
    product.minor = static_cast<uint8_t>(minor);
    product.build = static_cast<uint16_t>(build);
  }
  product.tds72 = model_.server.Is2005();
  return product;
}

std::shared_ptr<Session> SimEngine::Login(const LoginRequest& request, std::vector<Message>& Errors) {
  std::unique_lock<std::mutex> lock(mutex_);
  const msde::Login* login = model_.FindLogin(request.user);
  if (login == nullptr || !PasswordAccepted(*login, request.password) || login->is_nt_name) {
    Errors.push_back(LoginMessage(18456, 14, 1, "Login failed for user '" + request.user + "'."));
    LogFailedLogin(model_, request.user, login == nullptr ? 5 : 8);
    return nullptr;
  }
  auto session = std::make_shared<Session>();
  session->spid = model_.NextSpid();
  session->login = login->name;
  session->host = request.host;
  session->program = request.application;
  session->language = request.language.empty() ? login->language : request.language;
  session->login_time = std::time(nullptr);
  session->last_batch = session->login_time;
  NullSink sink;
  Context ctx(*session, model_, sink, lock);
  // The requested database must open; a default database that cannot falls back to master.
  if (!request.database.empty()) {
    try {
      Database& db = ctx.RequireDatabase(request.database);
      ctx.CheckCanEnter(db);
      session->database = db.name;
    } catch (const SqlError& e) {
      if (e.message.number != 911) Errors.push_back(e.message);
      Errors.push_back(LoginMessage(4060, 11, 1,
                                    model_.server.Is2005()
                                        ? "Cannot open database \"" + request.database + "\" requested by the login. The login failed."
                                        : "Cannot open database requested in login '" + request.database + "'. Login fails."));
      return nullptr;
    }
  } else {
    session->database = "master";
    if (Database* db = model_.FindDatabase(login->default_database)) {
      try {
        ctx.CheckCanEnter(*db);
        session->database = db->name;
      } catch (const SqlError&) {
      }
    }
  }
  model_.sessions[session->spid] = session;
  return session;
}

void SimEngine::ExecuteBatch(Session& session, const std::string& sql, BatchSink& sink) {
  std::unique_lock<std::mutex> lock(mutex_);
  session.last_batch = std::time(nullptr);
  session.status = "runnable";
  // DBCC INPUTBUFFER's answer: what the client sent last.
  session.input_rpc = !session.rpc_name.empty();
  session.input_buffer = session.input_rpc ? session.rpc_name : sql;
  session.rpc_name.clear();
  std::vector<Token> tokens;
  std::vector<BatchNode> nodes;
  Context ctx(session, model_, sink, lock);
  const std::vector<Message> errors = ParseBatchText(ctx, sql, tokens, nodes);
  if (!errors.empty()) {
    // Nothing of it runs, but the trace still shows what the client sent.
    if (trace_) trace_->Write(session.spid, session.program, session.database, sql);
    for (const Message& m : errors) sink.Error(m);
    sink.Done(-1, true);
  } else if (nodes.empty()) {
    sink.Done(-1, false);  // a batch of nothing but blanks and comments still ends with a Done
  }
  BatchState batch;
  batch.trace = trace_.get();
  BatchRunner runner(session, model_, sink, lock, trace_.get(), batch, sql, tokens);
  runner.Run(nodes);
  session.status = "sleeping";
  session.command = "AWAITING COMMAND";
}

void SimEngine::ExecuteCall(Session& session, ProcedureCall& call, BatchSink& sink) {
  std::unique_lock<std::mutex> lock(mutex_);
  session.last_batch = std::time(nullptr);
  session.status = "runnable";
  session.command = "EXECUTE";
  session.input_rpc = true;
  session.input_buffer = call.procedure;
  session.rpc_name.clear();
  // sp_executesql's statements are traced as they run, any other call as its text.
  if (trace_ && !EqualNoCase(call.procedure, "sp_executesql"))
    trace_->Write(session.spid, session.program, session.database, call.sql);
  // The caller's side of each argument: what an output parameter gives back lands there.
  std::vector<Variable> caller(call.args.size());
  std::vector<ProcedureArgument> args;
  for (size_t i = 0; i < call.args.size(); ++i) {
    const CallArgument& a = call.args[i];
    caller[i] = Variable{a.type, a.value};
    args.push_back(ProcedureArgument{a.name, a.value, a.type, false, a.output ? &caller[i] : nullptr});
  }
  BatchState batch;
  batch.trace = trace_.get();
  const std::vector<Token> none;
  BatchRunner runner(session, model_, sink, lock, trace_.get(), batch, call.sql, none);
  runner.RunWork([&](Context& ctx) {
    Parser name(ctx, Tokenize(call.procedure));
    CallProcedure(ctx, name.ExpectQualifiedName(), std::move(args));
    if (ctx.return_status) call.return_status = static_cast<int>(*ctx.return_status);
  });
  for (size_t i = 0; i < call.args.size(); ++i)
    if (call.args[i].output) call.args[i].value = caller[i].value;
  session.status = "sleeping";
  session.command = "AWAITING COMMAND";
}

void SimEngine::Logout(Session& session) {
  std::lock_guard<std::mutex> guard(mutex_);
  // What the connection left uncommitted goes with it.
  RollbackSession(model_, session);
  auto it = model_.sessions.find(session.spid);
  if (it != model_.sessions.end() && it->second.get() == &session) model_.sessions.erase(it);
}

}  // namespace msde
