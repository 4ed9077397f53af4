#include "testkit/LockChain.h"

#include <chrono>
#include <stdexcept>

namespace msde::testkit {
namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

LockChain::LockChain(const std::string& ConnectionString, const std::string& Table, const std::string& Key,
                     const std::string& First, const std::string& Second) {
  for (auto* client : {&head_, &middle_, &tail_, &monitor_}) *client = std::make_unique<OdbcClient>(ConnectionString);
  head_spid_ = head_->Scalar("select @@spid");
  middle_spid_ = middle_->Scalar("select @@spid");
  tail_spid_ = tail_->Scalar("select @@spid");
  auto touch = [&](const std::string& Value) {
    return "update " + Table + " set " + Key + " = " + Key + " where " + Key + " = " + Value;
  };
  if (!head_->Exec("begin tran " + touch(First)).ok || !middle_->Exec("begin tran " + touch(Second)).ok)
    throw std::runtime_error("the chain's rows could not be held");
  try {
    middle_wait_ = std::async(std::launch::async, [this, sql = touch(First)] { return middle_->Exec(sql); });
    AwaitBlocked(middle_spid_, head_spid_, middle_wait_);
    tail_wait_ = std::async(std::launch::async, [this, sql = touch(Second)] { return tail_->Exec(sql); });
    AwaitBlocked(tail_spid_, middle_spid_, tail_wait_);
  } catch (...) {
    Release();  // a wait still running would otherwise hold the destruction of its future
    throw;
  }
}

LockChain::~LockChain() { Release(); }

void LockChain::Release() {
  if (!head_) return;
  head_->Exec("rollback");
  if (middle_wait_.valid()) middle_wait_.get();
  middle_->Exec("rollback");
  if (tail_wait_.valid()) tail_wait_.get();
  head_.reset();
}

std::string LockChain::HeadHost() {
  return Trimmed(monitor_->Scalar("select hostname from master..sysprocesses where spid = " + head_spid_));
}

void LockChain::AwaitBlocked(const std::string& Spid, const std::string& By, std::future<ExecResult>& Wait) {
  while (Trimmed(monitor_->Scalar("select blocked from master..sysprocesses where spid = " + Spid)) != By) {
    // A statement that ended did not wait where the chain needs it to.
    if (Wait.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
      throw std::runtime_error("session " + Spid + " did not wait for session " + By);
  }
}

}  // namespace msde::testkit
