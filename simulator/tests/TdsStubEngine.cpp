#include "TdsStubEngine.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace msde::testing {
namespace {

ColumnInfo Col(const std::string& name, SqlType type, bool nullable, int length = 0,
               int precision = 0, int scale = 0) {
  ColumnInfo c;
  c.name = name;
  c.type = type;
  c.nullable = nullable;
  c.length = length;
  c.precision = precision;
  c.scale = scale;
  return c;
}

Message Msg(int number, int severity, const std::string& text) {
  Message m;
  m.number = number;
  m.severity = severity;
  m.text = text;
  return m;
}

void Types(BatchSink& sink, bool nullable, bool nulls) {
  sink.Columns({Col("i", SqlType::Int, nullable), Col("si", SqlType::SmallInt, nullable),
                Col("ti", SqlType::TinyInt, nullable), Col("b", SqlType::Bit, nullable),
                Col("bi", SqlType::BigInt, nullable), Col("f", SqlType::Float, nullable),
                Col("r", SqlType::Real, nullable), Col("n", SqlType::Numeric, nullable, 0, 10, 2),
                Col("d", SqlType::Decimal, nullable, 0, 38, 0), Col("m", SqlType::Money, nullable),
                Col("dt", SqlType::DateTime, nullable), Col("c", SqlType::Char, nullable, 5),
                Col("vc", SqlType::VarChar, nullable, 20), Col("nc", SqlType::NChar, nullable, 4),
                Col("nvc", SqlType::NVarChar, nullable, 20), Col("t", SqlType::Text, nullable),
                Col("nt", SqlType::NText, nullable),
                Col("g", SqlType::UniqueIdentifier, nullable)});
  if (nulls) {
    sink.RowData(Row(18));
  } else {
    // 2026-12-08 14:22:36.123: days since 1900-01-01, then 1/300 s since midnight.
    SqlDateTime dt{46362, (14 * 3600 + 22 * 60 + 36) * 300 + 37};
    sink.RowData({int64_t{2147483647}, int64_t{-32768}, int64_t{255}, int64_t{1},
                  int64_t{9223372036854775807}, 3.5, 0.25, std::string("-12345678.90"),
                  std::string("12345678901234567890123456789012345678"), std::string("12.3456"), dt,
                  std::string("ab"), std::string("Łódź"), std::string("żó"), std::string("Gęś"),
                  std::string("tekst ąę"), std::string("ntekst ąę"),
                  std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF")});
  }
  sink.Done(1, false);
}

void Echo(BatchSink& sink, const std::string& text) {
  sink.Columns({Col("v", SqlType::VarChar, true, 300), Col("nv", SqlType::NVarChar, true, 300),
                Col("t", SqlType::Text, true), Col("nt", SqlType::NText, true)});
  sink.RowData({text, text, text, text});
  sink.Done(1, false);
}

}  // namespace

std::shared_ptr<Session> StubEngine::Login(const LoginRequest& request,
                                           std::vector<Message>& Errors) {
  std::lock_guard lock(mutex_);
  last_login_ = request;
  if (request.user != kUser || request.password != kPassword) {
    Message m = Msg(18456, 14, "Login failed for user '" + request.user + "'.");
    Errors.push_back(m);
    return nullptr;
  }
  auto session = std::make_shared<Session>();
  session->spid = next_spid_++;
  session->login = request.user;
  session->host = request.host;
  session->program = request.application;
  if (!request.database.empty()) session->database = request.database;
  sessions_[session->spid] = session;
  return session;
}

void StubEngine::ExecuteBatch(Session& session, const std::string& sql, BatchSink& sink) {
  if (sql == "select 1") {
    sink.Columns({Col("", SqlType::Int, false)});
    sink.RowData({int64_t{1}});
    sink.Done(1, false);
  } else if (sql.rfind("types", 0) == 0) {
    Types(sink, sql != "types notnull", sql == "types null");
  } else if (sql.rfind("echo ", 0) == 0) {
    Echo(sink, sql.substr(5));
  } else if (sql.rfind("use ", 0) == 0) {
    std::string old = session.database;
    session.database = sql.substr(4);
    sink.DatabaseChanged(old, session.database);
    Message m = Msg(5701, 0, "Changed database context to '" + session.database + "'.");
    sink.Info(m);
    sink.Done(-1, false);
  } else if (sql == "waitfor") {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    ++waiting_;
    while (!session.cancel_requested && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    --waiting_;
    sink.Done(-1, false);
  } else if (sql.rfind("rows ", 0) == 0) {
    int n = std::stoi(sql.substr(5));
    sink.Columns({Col("n", SqlType::Int, false), Col("s", SqlType::VarChar, true, 40)});
    for (int i = 0; i < n; ++i)
      sink.RowData({int64_t{i}, std::string("wiersz ") + std::to_string(i)});
    sink.Done(n, false);
  } else if (sql == "variants") {
    // sql_variant values of each base type, as SERVERPROPERTY and its kind return them.
    sink.Columns({Col("v", SqlType::Variant, true)});
    for (Value v : {Value{int64_t{42}}, Value{int64_t{5000000000}}, Value{2.5},
                    Value{std::string("Łódź")}, Value{SqlDateTime{46362, 300}}, Value{}})
      sink.RowData({v});
    sink.Done(6, false);
  } else if (sql == "binaries") {
    sink.Columns({Col("b", SqlType::Binary, true, 4), Col("vb", SqlType::VarBinary, true, 8)});
    sink.RowData({std::string("\x01\x02\xFF", 3), std::string("\x01\x02\xFF", 3)});
    sink.RowData({Value{}, std::string()});
    sink.Done(2, false);
  } else if (sql == "stream") {
    // Rows of varying width, so that tokens straddle packets, until the client cancels.
    sink.Columns({Col("n", SqlType::Int, false), Col("s", SqlType::VarChar, true, 3000)});
    int i = 0;
    for (; i < 1000000 && !session.cancel_requested; ++i)
      sink.RowData({int64_t{i}, std::string(static_cast<size_t>(500 + i * 337 % 2500), 'x')});
    sink.Done(i, false);
  } else if (sql == "multi") {
    sink.Columns({Col("a", SqlType::Int, true)});
    sink.RowData({int64_t{1}});
    sink.Done(1, false);
    sink.Done(3, false);  // an update between the two sets
    sink.Columns({Col("b", SqlType::VarChar, true, 10)});
    sink.RowData({std::string("x")});
    sink.RowData({std::string("y")});
    sink.Done(2, false);
  } else if (sql == "error") {
    sink.Error(Msg(208, 16, "Invalid object name 'brak'."));
    sink.Done(-1, true);
  } else if (sql == "count then error") {
    sink.Done(5, false);
    sink.Error(Msg(547, 16, "konflikt"));
    sink.Done(-1, true);
  } else if (sql.rfind("sql ", 0) == 0) {
    sink.Columns({Col("sql", SqlType::NVarChar, true, 4000)});
    sink.RowData({sql.substr(4)});
    sink.Done(1, false);
  } else if (sql == "info") {
    sink.Info(Msg(0, 0, "komunikat"));
    sink.Done(-1, false);
  } else if (sql.rfind("kill ", 0) == 0) {
    std::shared_ptr<Session> victim;
    {
      std::lock_guard lock(mutex_);
      auto it = sessions_.find(std::stoi(sql.substr(5)));
      if (it != sessions_.end()) victim = it->second.lock();
    }
    if (victim) {
      victim->killed = true;
      if (victim->on_killed) victim->on_killed();
    }
    sink.Done(-1, false);
  } else if (sql == "throw") {
    sink.Columns({Col("a", SqlType::Int, true)});
    sink.RowData({int64_t{1}});
    throw std::runtime_error("stub failure");
  } else {
    sink.Error(Msg(2812, 16, "Could not find stored procedure '" + sql + "'."));
    sink.Done(-1, true);
  }
}

void StubEngine::Logout(Session& session) {
  std::lock_guard lock(mutex_);
  sessions_.erase(session.spid);
  changed_.notify_all();
}

LoginRequest StubEngine::LastLogin() const {
  std::lock_guard lock(mutex_);
  return last_login_;
}

bool StubEngine::WaitForWaitingSession() const {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (waiting_ == 0 && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return waiting_ > 0;
}

int StubEngine::NewestSpid() const {
  std::lock_guard lock(mutex_);
  return next_spid_ - 1;
}

int StubEngine::LiveSessions() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(sessions_.size());
}

bool StubEngine::WaitForLiveSessions(int n) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(10),
                           [&] { return static_cast<int>(sessions_.size()) <= n; });
}

}  // namespace msde::testing
