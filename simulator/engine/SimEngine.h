#pragma once
// The engine behind msde-sim: logins, sessions and batches over one server model, with one
// mutex guarding the model (see engine/Statements.h for the lock discipline).
#include <memory>
#include <mutex>

#include "Engine.h"
#include "engine/Model.h"
#include "engine/StatementTrace.h"

namespace msde {

class SimEngine : public Engine {
 public:
  explicit SimEngine(Model model);
  std::shared_ptr<Session> Login(const LoginRequest& request, std::vector<Message>& Errors) override;
  void ExecuteBatch(Session& session, const std::string& sql, BatchSink& sink) override;
  void ExecuteCall(Session& session, ProcedureCall& call, BatchSink& sink) override;
  void Logout(Session& session) override;
  std::string ServerName() const override;
  ServerProduct Product() const override;

  // For tests and tools that inspect the state; hold Mutex() while reading it.
  Model& State() { return model_; }
  std::mutex& Mutex() { return mutex_; }
  // From now on every statement is written to Trace before it runs.
  void SetTrace(std::unique_ptr<StatementTrace> Trace) { trace_ = std::move(Trace); }

 private:
  Model model_;
  mutable std::mutex mutex_;
  std::unique_ptr<StatementTrace> trace_;
};

}  // namespace msde
