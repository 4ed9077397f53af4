#include "engine/SimEngine.h"

#include <algorithm>
#include <cstdio>

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

void RunDeferred(Context& ctx) {
  if (ctx.deferred.empty()) return;
  auto work = std::move(ctx.deferred);
  ctx.deferred.clear();
  ctx.lock.unlock();
  for (auto& w : work) w();
  ctx.lock.lock();
}

std::string CommandOf(const std::vector<Token>& statement) {
  if (statement.empty() || statement.front().kind != TokenKind::Word) return "EXECUTE";
  const std::string word = Upper(statement.front().text);
  for (const char* known : {"SELECT", "INSERT", "UPDATE", "DELETE", "USE", "KILL", "DBCC", "WAITFOR",
                            "SET", "ALTER", "RECONFIGURE"})
    if (word == known) return word == "ALTER" ? "ALTER DATABASE" : word;
  return "EXECUTE";
}

const Token* TooLongName(const std::vector<std::vector<Token>>& statements) {
  for (const auto& statement : statements)
    for (const Token& t : statement)
      if (t.IsName() && Utf8Length(t.text) > 128) return &t;
  return nullptr;
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
  std::vector<std::vector<Token>> statements;
  bool lexed = true;
  try {
    statements = SplitStatements(Tokenize(sql));
  } catch (const LexError& e) {
    // Nothing of it runs, but the trace still shows what the client sent.
    if (trace_) trace_->Write(session.spid, session.program, session.database, sql);
    Message m;
    m.line = e.line;
    m.severity = 15;
    if (e.unclosed_quote) {
      m.number = 105;
      m.text = "Unclosed quotation mark before the character string '" + e.near + "'.";
      sink.Error(m);
      m.number = model_.server.Is2005() ? 102 : 170;
      m.text = (model_.server.Is2005() ? "" : "Line " + std::to_string(e.line) + ": ") + "Incorrect syntax near '" +
               e.near + "'.";
    } else {
      m.number = 113;
      m.text = "Missing end comment mark '*/'.";
    }
    sink.Error(m);
    sink.Done(-1, true);
    lexed = false;
  } catch (const TooDeeplyNested& e) {
    if (trace_) trace_->Write(session.spid, session.program, session.database, sql);
    Message m;
    m.number = 191;
    m.severity = 15;
    m.line = e.line;
    m.text = kNestedTooDeeply;
    sink.Error(m);
    sink.Done(-1, true);
    lexed = false;
  }
  // A name longer than 128 characters fails the whole batch before any of it runs.
  if (const Token* t = TooLongName(statements)) {
    if (trace_) trace_->Write(session.spid, session.program, session.database, sql);
    Message m;
    m.number = 103;
    m.severity = 15;
    m.state = 4;
    m.line = t->line;
    m.text = "The identifier that starts with '" + Utf8Prefix(t->text, 128) + "' is too long. Maximum length is 128.";
    sink.Error(m);
    sink.Done(-1, true);
    statements.clear();
    lexed = false;
  }
  // A batch of nothing but blanks and comments still ends with a Done.
  if (lexed && statements.empty()) sink.Done(-1, false);
  BatchState batch;
  for (size_t i = 0; i < statements.size(); ++i) {
    auto& statement = statements[i];
    if (session.cancel_requested || session.killed) break;
    session.command = CommandOf(statement);
    if (trace_) {
      // The last statement runs to the end of the batch, trailing blanks included, so that a
      // one-statement batch is traced as the client wrote it; the line breaks that end the
      // batch's text are not part of it.
      const size_t begin = statement.front().begin;
      size_t end = statement.back().end;
      if (i + 1 == statements.size()) {
        end = sql.size();
        while (end > begin && (sql[end - 1] == '\r' || sql[end - 1] == '\n')) --end;
      }
      trace_->Write(session.spid, session.program, session.database, sql.substr(begin, end - begin));
    }
    Context ctx(session, model_, sink, lock);
    ctx.batch = &batch;
    bool stop = false;
    try {
      ExecuteStatement(ctx, std::move(statement));
      sink.Done(ctx.in_procedure || session.nocount ? -1 : ctx.last_count, false);
      session.rowcount = ctx.rowcount.value_or(std::max<int64_t>(ctx.last_count, 0));
      session.error = 0;
    } catch (const SqlError& e) {
      session.rowcount = 0;
      session.error = e.message.number;
      if (!e.sent) sink.Error(e.message);
      sink.Done(-1, true);
      stop = e.abort_batch;
    } catch (const BatchCancelled&) {
      stop = true;
    } catch (const std::exception& e) {
      // A fault of the simulator itself: reported, never fatal to the connection.
      Message m;
      m.number = 50000;
      m.severity = 16;
      m.text = std::string("msde-sim internal error: ") + e.what();
      sink.Error(m);
      sink.Done(-1, true);
      stop = true;
    }
    RunDeferred(ctx);
    if (stop) break;
  }
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
