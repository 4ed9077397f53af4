#pragma once
// Runs a batch's statements, blocks, IFs and WHILEs with the engine mutex held: the trace
// line of each top-level statement, each statement's Done, @@ROWCOUNT and @@ERROR after it,
// and the end of the batch at an error that aborts it, at RETURN, at attention and at KILL.
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/BatchTree.h"
#include "engine/StatementTrace.h"
#include "engine/Statements.h"
#include "engine/Variables.h"

namespace msde {

// RETURN: thrown by its statement, it ends the batch at once.
struct ReturnFromBatch {};

class BatchRunner {
 public:
  // `sql` and `tokens` are the batch's text and its tokens; trace may be null.
  BatchRunner(Session& session, Model& model, BatchSink& sink, std::unique_lock<std::mutex>& lock,
              StatementTrace* trace, BatchState& state, const std::string& sql,
              const std::vector<Token>& tokens);
  void Run(const std::vector<BatchNode>& nodes);
  // Runs one piece of work as a statement of the batch (a procedure called by RPC): its
  // errors are reported as a statement's are; it sends no Done of its own when it succeeds.
  void RunWork(const std::function<void(Context&)>& work);
  // Whether the client cancelled or the session was killed while the batch ran.
  bool Cancelled() const { return cancelled_; }
  // The error number of the last statement that failed, 0 when none did.
  int LastError() const { return last_error_; }

 private:
  enum class Flow { Next, Break, Continue, Stop };
  Flow RunNodes(const std::vector<BatchNode>& nodes);
  Flow RunNode(const BatchNode& node);
  Flow RunStatement(const BatchNode& node);
  Flow RunWhile(const BatchNode& node);
  // A condition's value; nullopt when it failed (its error is reported) or the batch stops.
  std::optional<bool> Condition(std::pair<size_t, size_t> range);
  // Between a loop's rounds: false when the batch must stop; now and then lets other
  // sessions have the engine, so that a loop that runs on can be seen and KILLed.
  bool NextRound();
  void Trace(const BatchNode& node);
  // The statement's outcome as @@ROWCOUNT, @@ERROR and a Done; true when the batch goes on.
  template <typename Work>
  bool Guarded(Context& ctx, Work work);

  Session& session_;
  Model& model_;
  BatchSink& sink_;
  std::unique_lock<std::mutex>& lock_;
  StatementTrace* trace_;
  BatchState& state_;
  const std::string& sql_;
  const std::vector<Token>& tokens_;
  const BatchNode* last_top_ = nullptr;
  bool cancelled_ = false, stopped_ = false;
  int last_error_ = 0;
  std::chrono::steady_clock::time_point last_pause_;
};

// Tokenizes and parses a batch. What makes the whole batch fail before any of it runs (an
// unclosed quote, a block without its END, too deep nesting, too long a name) comes back as
// the messages SQL Server sends for it, the tokens and nodes then empty.
std::vector<Message> ParseBatchText(Context& ctx, const std::string& sql, std::vector<Token>& tokens,
                                    std::vector<BatchNode>& nodes);

// Runs `sql` as a batch of its own inside the running statement (sp_executesql): with the
// variables of `state`, its statements' results, messages and Dones going to the client as
// the running batch's do. A batch that cannot be parsed fails the running statement. False
// when the client cancelled or the session was killed while it ran.
bool RunNestedBatch(Context& ctx, const std::string& sql, BatchState& state);

}  // namespace msde
