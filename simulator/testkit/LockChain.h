#pragma once
// A chain of lock waits between three sessions of other programs, as a till that crashed
// inside a transaction leaves one: the head holds a row of a table in an open transaction,
// the middle session holds a second row and waits for the head's, the tail waits for the
// middle's. Two sessions are blocked, both behind the head. The chain is made on the server
// and the constructor returns once the server reports both waits; the destructor rolls the
// head back, then the middle, and collects both waits.
#include <future>
#include <memory>
#include <string>

#include "testkit/OdbcClient.h"

namespace msde::testkit {

class LockChain {
 public:
  // ConnectionString reaches the server (with the database of Table, "DATABASE=Sklep;");
  // Key is a column of Table, First and Second two of its values, each naming one row.
  LockChain(const std::string& ConnectionString, const std::string& Table, const std::string& Key,
            const std::string& First, const std::string& Second);
  ~LockChain();
  LockChain(const LockChain&) = delete;
  LockChain& operator=(const LockChain&) = delete;

  const std::string& HeadSpid() const { return head_spid_; }
  const std::string& MiddleSpid() const { return middle_spid_; }
  const std::string& TailSpid() const { return tail_spid_; }
  // The head's host name as the server lists it.
  std::string HeadHost();
  // Ends the chain early (as the destructor does); after it nobody waits.
  void Release();

 private:
  // Looks at sysprocesses until Spid, running Wait, is blocked by By.
  void AwaitBlocked(const std::string& Spid, const std::string& By, std::future<ExecResult>& Wait);

  std::unique_ptr<OdbcClient> head_, middle_, tail_, monitor_;
  std::string head_spid_, middle_spid_, tail_spid_;
  std::future<ExecResult> middle_wait_, tail_wait_;
};

}  // namespace msde::testkit
