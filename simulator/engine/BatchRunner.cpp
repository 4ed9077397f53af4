#include "engine/BatchRunner.h"

#include <algorithm>
#include <thread>

#include "engine/Expression.h"
#include "engine/Lexer.h"
#include "engine/Values.h"

namespace msde {
namespace {

// A loop holds the engine at most this long before letting other sessions in.
constexpr auto kLoopSlice = std::chrono::milliseconds(20);

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
                            "SET", "ALTER", "RECONFIGURE", "DECLARE", "PRINT", "RAISERROR"})
    if (word == known) return word == "ALTER" ? "ALTER DATABASE" : word == "PRINT" || word == "RAISERROR" ? "PRINT" : word;
  return "EXECUTE";
}

const Token* TooLongName(const std::vector<Token>& tokens) {
  for (const Token& t : tokens)
    if (t.IsName() && Utf8Length(t.text) > 128) return &t;
  return nullptr;
}

}  // namespace

std::vector<Message> ParseBatchText(Context& ctx, const std::string& sql, std::vector<Token>& tokens,
                                    std::vector<BatchNode>& nodes) {
  const bool is2005 = ctx.model.server.Is2005();
  Message m;
  m.severity = 15;
  std::vector<Message> errors;
  try {
    tokens = Tokenize(sql);
    nodes = ParseBatch(tokens);
    if (const Token* t = TooLongName(tokens)) {
      m.number = 103;
      m.state = 4;
      m.line = t->line;
      m.text = "The identifier that starts with '" + Utf8Prefix(t->text, 128) + "' is too long. Maximum length is 128.";
      errors.push_back(m);
    }
  } catch (const LexError& e) {
    m.line = e.line;
    if (e.unclosed_quote) {
      m.number = 105;
      m.text = "Unclosed quotation mark before the character string '" + e.near + "'.";
      errors.push_back(m);
      m.number = is2005 ? 102 : 170;
      m.text = (is2005 ? "" : "Line " + std::to_string(e.line) + ": ") + "Incorrect syntax near '" + e.near + "'.";
    } else {
      m.number = 113;
      m.text = "Missing end comment mark '*/'.";
    }
    errors.push_back(m);
  } catch (const TooDeeplyNested& e) {
    m.number = 191;
    m.line = e.line;
    m.text = kNestedTooDeeply;
    errors.push_back(m);
  } catch (const BatchStructureError& e) {
    // A block without its END, an ELSE without its IF: SQL Server's syntax error near the
    // token, or the error of its own (BREAK outside a loop).
    const Token& at = e.at < tokens.size() ? tokens[e.at] : tokens.back();
    ctx.line = at.line;
    try {
      if (e.number != 0) ctx.Fail(e.number, 15, 1, e.text, true);
      ctx.SyntaxError(at.Near());
    } catch (const SqlError& error) {
      errors.push_back(error.message);
    }
  }
  if (!errors.empty()) {
    tokens.clear();
    nodes.clear();
  }
  return errors;
}

bool RunNestedBatch(Context& ctx, const std::string& sql, BatchState& state) {
  std::vector<Token> tokens;
  std::vector<BatchNode> nodes;
  std::vector<Message> errors = ParseBatchText(ctx, sql, tokens, nodes);
  if (!errors.empty()) {
    for (size_t i = 0; i + 1 < errors.size(); ++i) ctx.sink.Error(errors[i]);
    throw SqlError(errors.back(), false);  // the caller's batch goes on
  }
  BatchRunner runner(ctx.session, ctx.model, ctx.sink, ctx.lock, state.trace, state, sql, tokens);
  runner.Run(nodes);
  return !runner.Cancelled();
}

BatchRunner::BatchRunner(Session& session, Model& model, BatchSink& sink, std::unique_lock<std::mutex>& lock,
                         StatementTrace* trace, BatchState& state, const std::string& sql,
                         const std::vector<Token>& tokens)
    : session_(session), model_(model), sink_(sink), lock_(lock), trace_(trace), state_(state), sql_(sql),
      tokens_(tokens), last_pause_(std::chrono::steady_clock::now()) {
  state_.text = &sql_;
}

void BatchRunner::Run(const std::vector<BatchNode>& nodes) {
  if (!nodes.empty()) last_top_ = &nodes.back();
  for (const BatchNode& node : nodes) {
    if (session_.cancel_requested || session_.killed) {
      cancelled_ = true;
      return;
    }
    Trace(node);
    if (RunNode(node) == Flow::Stop) return;
  }
}

void BatchRunner::RunWork(const std::function<void(Context&)>& work) {
  Context ctx(session_, model_, sink_, lock_);
  ctx.batch = &state_;
  Guarded(ctx, [&] {
    work(ctx);
    session_.rowcount = ctx.rowcount.value_or(std::max<int64_t>(ctx.last_count, 0));
    session_.error = ctx.error;
  });
}

void BatchRunner::Trace(const BatchNode& node) {
  if (trace_ == nullptr) return;
  // The last statement runs to the end of the batch, trailing blanks included, so that a
  // one-statement batch is traced as the client wrote it; the line breaks that end the
  // batch's text are not part of it.
  const size_t begin = tokens_[node.from].begin;
  size_t end = tokens_[node.to - 1].end;
  if (&node == last_top_) {
    end = sql_.size();
    while (end > begin && (sql_[end - 1] == '\r' || sql_[end - 1] == '\n')) --end;
  }
  trace_->Write(session_.spid, session_.program, session_.database, sql_.substr(begin, end - begin));
}

BatchRunner::Flow BatchRunner::RunNodes(const std::vector<BatchNode>& nodes) {
  for (const BatchNode& node : nodes) {
    const Flow flow = RunNode(node);
    if (flow != Flow::Next) return flow;
  }
  return Flow::Next;
}

BatchRunner::Flow BatchRunner::RunNode(const BatchNode& node) {
  switch (node.kind) {
    case BatchNode::Kind::Statement:
      return RunStatement(node);
    case BatchNode::Kind::Block:
      return RunNodes(node.children);
    case BatchNode::Kind::If:
      for (size_t i = 0; i < node.conditions.size(); ++i) {
        const std::optional<bool> holds = Condition(node.conditions[i]);
        if (stopped_) return Flow::Stop;
        if (!holds) return Flow::Next;  // the IF failed; the batch goes on after it
        if (*holds) return RunNode(node.children[i]);
      }
      return node.children.size() > node.conditions.size() ? RunNode(node.children.back()) : Flow::Next;
    case BatchNode::Kind::While:
      return RunWhile(node);
    case BatchNode::Kind::Break:
      return Flow::Break;
    case BatchNode::Kind::Continue:
      return Flow::Continue;
  }
  return Flow::Next;
}

BatchRunner::Flow BatchRunner::RunWhile(const BatchNode& node) {
  for (;;) {
    if (!NextRound()) return Flow::Stop;
    const std::optional<bool> holds = Condition(node.conditions[0]);
    if (stopped_) return Flow::Stop;
    if (!holds || !*holds) return Flow::Next;
    const Flow flow = RunNode(node.children[0]);
    if (flow == Flow::Stop) return flow;
    if (flow == Flow::Break) return Flow::Next;
  }
}

template <typename Work>
bool BatchRunner::Guarded(Context& ctx, Work work) {
  bool go_on = true;
  try {
    work();
  } catch (const SqlError& e) {
    session_.rowcount = 0;
    session_.error = last_error_ = e.message.number;
    if (!e.sent) sink_.Error(e.message);
    sink_.Done(-1, true);
    go_on = !e.abort_batch;
  } catch (const BatchCancelled&) {
    cancelled_ = true;
    go_on = false;
  } catch (const ReturnFromBatch&) {
    session_.rowcount = 1;  // RETURN is a simple assignment
    session_.error = 0;
    go_on = false;
  } catch (const std::exception& e) {
    // A fault of the simulator itself: reported, never fatal to the connection.
    Message m;
    m.number = 50000;
    m.severity = 16;
    m.text = std::string("msde-sim internal error: ") + e.what();
    sink_.Error(m);
    sink_.Done(-1, true);
    go_on = false;
  }
  RunDeferred(ctx);
  if (!go_on) stopped_ = true;
  return go_on;
}

BatchRunner::Flow BatchRunner::RunStatement(const BatchNode& node) {
  if (session_.cancel_requested || session_.killed) {
    cancelled_ = stopped_ = true;
    return Flow::Stop;
  }
  std::vector<Token> statement(tokens_.begin() + static_cast<std::ptrdiff_t>(node.from),
                               tokens_.begin() + static_cast<std::ptrdiff_t>(node.to));
  session_.command = CommandOf(statement);
  Context ctx(session_, model_, sink_, lock_);
  ctx.batch = &state_;
  const bool go_on = Guarded(ctx, [&] {
    ExecuteStatement(ctx, std::move(statement));
    sink_.Done(ctx.in_procedure || session_.nocount ? -1 : ctx.last_count, false);
    session_.rowcount = ctx.rowcount.value_or(std::max<int64_t>(ctx.last_count, 0));
    session_.error = ctx.error;
  });
  return go_on ? Flow::Next : Flow::Stop;
}

std::optional<bool> BatchRunner::Condition(std::pair<size_t, size_t> range) {
  if (session_.cancel_requested || session_.killed) {
    cancelled_ = stopped_ = true;
    return std::nullopt;
  }
  Context ctx(session_, model_, sink_, lock_);
  ctx.batch = &state_;
  std::optional<bool> holds;
  Guarded(ctx, [&] {
    Parser p(ctx, std::vector<Token>(tokens_.begin() + static_cast<std::ptrdiff_t>(range.first),
                                     tokens_.begin() + static_cast<std::ptrdiff_t>(range.second)));
    ctx.line = p.Peek().line;
    ExprPtr condition = ParseExpression(p);
    p.ExpectEnd();
    condition->Bind(ctx, Scope{});
    EvalEnv env{ctx, nullptr};
    holds = IsTrue(condition->Eval(env));
    session_.rowcount = 0;  // IF and WHILE reset @@ROWCOUNT and @@ERROR
    session_.error = 0;
  });
  return holds;
}

bool BatchRunner::NextRound() {
  auto stop = [this] { return session_.cancel_requested || session_.killed; };
  if (!stop() && std::chrono::steady_clock::now() - last_pause_ > kLoopSlice) {
    lock_.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lock_.lock();
    last_pause_ = std::chrono::steady_clock::now();
  }
  if (stop()) cancelled_ = stopped_ = true;
  return !stopped_;
}

}  // namespace msde
