#pragma once
// A stand-in engine for protocol tests: a handful of fixed commands whose answers exercise
// every token and column form, with sessions and logins the tests can inspect.
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

#include "Engine.h"

namespace msde::testing {

// Commands (the whole batch text):
//   select 1 | types | types notnull | types null | echo <text> | use <db> | waitfor
//   rows <n> | stream (rows until cancelled) | variants | binaries | multi | error | info
//   count then error
//   kill <spid> | throw
//   sql <text> (answers the text as the engine received it)
class StubEngine : public Engine {
 public:
  static constexpr const char* kUser = "sa";
  static constexpr const char* kPassword = "Tajne-Haslo1";

  std::shared_ptr<Session> Login(const LoginRequest& request,
                                 std::vector<Message>& Errors) override;
  void ExecuteBatch(Session& session, const std::string& sql, BatchSink& sink) override;
  void Logout(Session& session) override;
  std::string ServerName() const override { return "STUB"; }
  ServerProduct Product() const override { return product_; }
  ServerProduct product_;  // a test may play SQL Server 2005 (TDS 7.2)

  LoginRequest LastLogin() const;
  int NewestSpid() const;
  // Waits (at most a few seconds) until some session is inside "waitfor".
  bool WaitForWaitingSession() const;
  int LiveSessions() const;
  // Waits (at most a few seconds) until no more than N sessions remain; false if they don't.
  bool WaitForLiveSessions(int n) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::map<int, std::weak_ptr<Session>> sessions_;
  LoginRequest last_login_;
  int next_spid_ = 51;
  std::atomic<int> waiting_{0};
};

}  // namespace msde::testing
