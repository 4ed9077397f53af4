#pragma once
// Statement dispatch, the context a handler runs in, and SQL Server's way of failing.
//
// Adding a statement or a stored procedure, in a file of its own (engine/AdminKill.cpp,
// engine/Dbcc.cpp, ...): nothing else needs editing, the registration objects add the
// handler when the program starts (msde_engine is an object library, so no file is lost).
//
//   #include "engine/Statements.h"
//   namespace msde {
//   namespace {
//   // "KILL 53": the handler gets the tokens after the keyword.
//   void Kill(Context& ctx, Parser& p) {
//     const int64_t spid = p.ExpectInteger();
//     p.ExpectEnd();
//     if (spid == ctx.session.spid) ctx.Fail(6104, 16, 1, "Cannot use KILL to kill your own process.");
//     ...
//   }
//   const StatementRegistration kill_statement("KILL", Kill);
//
//   // "sp_addlogin 'x', 'p', 'db'" or "exec sp_addlogin @loginame = 'x'": arguments bound
//   // by position or by name to the declared parameters.
//   void AddLogin(Context& ctx, const ProcArgs& args) {
//     const std::string name = args.Text("@loginame");
//     ...
//     ctx.Info(15298, "New login created.");  // messages go out as they happen
//   }
//   const ProcedureRegistration add_login("sp_addlogin",
//       {{"@loginame", true}, {"@passwd"}, {"@defdb"}, {"@deflanguage"}, {"@sid"}, {"@encryptopt"}},
//       AddLogin);
//   }  // namespace
//   }  // namespace msde
//
// Locking: the engine has one mutex. ExecuteBatch holds it while a statement runs, so a
// handler reads and changes the model freely. A handler that waits (WAITFOR) calls
// ctx.WaitUnlocked, which releases the mutex and polls Session::cancel_requested. Work that
// must not run under the mutex (Session::on_killed, which closes a socket) goes to ctx.Defer.
//
// Results and counts: ctx.SendResult reports one result set. Inside a procedure each result
// set ends with its own Done; a SELECT's Done (with its row count) is the statement's own.
// The dispatcher reports every statement's final Done; a handler never calls sink.Done.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Engine.h"
#include "engine/Lexer.h"
#include "engine/Model.h"

namespace msde {

// A failed statement: the message SQL Server sends. abort_batch: the rest of the batch is
// not run (syntax errors, unknown objects, killed connections), as SQL Server does.
class SqlError : public std::runtime_error {
 public:
  SqlError(Message message, bool AbortBatch)
      : std::runtime_error(message.text), message(std::move(message)), abort_batch(AbortBatch) {}
  Message message;
  bool abort_batch;
  bool sent = false;  // the message already went to the client (FailTerminated)
};

// Thrown when the client cancelled (attention) or the session was killed while a statement
// ran: the batch ends at once, without an error or a Done for that statement; the front end
// acknowledges the attention.
struct BatchCancelled {};

struct ResultSet {
  std::vector<ColumnInfo> columns;
  std::vector<Row> rows;
};

class BatchState;
struct Variable;

class Context {
 public:
  Context(Session& session, Model& model, BatchSink& sink, std::unique_lock<std::mutex>& lock)
      : session(session), model(model), sink(sink), lock(lock) {}
  Session& session;
  Model& model;
  BatchSink& sink;
  std::unique_lock<std::mutex>& lock;
  std::string procedure;  // the procedure running now, for its messages; empty otherwise
  int line = 1;           // line of the statement in the batch, for messages
  // The running batch's variables (engine/Variables.h); null outside a batch.
  BatchState* batch = nullptr;
  // A declared local variable by its name with the '@', any case; null when not declared.
  Variable* FindVariable(const std::string& name);

  // An informational message (INFO token), e.g. 5701 on "use".
  void Info(int number, const std::string& text, int severity = 10, int state = 1);
  // An informational message that goes to the client at once, as SQL Server sends the
  // progress of STATS and RAISERROR ... WITH NOWAIT, while the statement still runs.
  void InfoNow(int number, const std::string& text, int severity = 10, int state = 1);
  // An error that does not end the statement (more may follow); `now`: sent at once.
  void Error(int number, int severity, int state, const std::string& text, bool now = false);
  // Ends the statement with an error.
  [[noreturn]] void Fail(int number, int severity, int state, const std::string& text,
                         bool AbortBatch = false);
  // Ends a data change that breaks a rule of its table (515, 2627, 8152, ...): the error,
  // then 3621 "The statement has been terminated.", as SQL Server sends them.
  [[noreturn]] void FailTerminated(int number, int severity, int state, const std::string& text);
  // 170 "Line n: Incorrect syntax near 'x'." (severity 15, state 1), ends the batch.
  [[noreturn]] void SyntaxError(const std::string& near);

  void SendResult(const ResultSet& result);
  // A result sent as its rows are found, for results too large to gather first: the
  // columns, each row, then the number of rows sent.
  void BeginResult(const std::vector<ColumnInfo>& columns);
  void ResultRow(const Row& row);
  void EndResult(int64_t rows);
  int64_t last_count = -1;  // row count for the statement's Done
  // @@ROWCOUNT after the statement where it is not the Done's count (SET @v = 1: one row).
  std::optional<int64_t> rowcount;
  // @@ERROR after the statement when it did not fail itself: RAISERROR's number, or the last
  // error of the statements it ran (sp_executesql).
  int error = 0;
  // A procedure's return status (EXEC @rc = proc, RPC's RETURNSTATUS).
  std::optional<int64_t> return_status;
  bool in_procedure = false;

  // Releases the engine mutex for up to `duration`; false when the client cancelled
  // (attention) or the session was killed before it ran out (the caller then throws
  // BatchCancelled).
  bool WaitUnlocked(std::chrono::milliseconds duration);
  // Runs after the statement, without the engine mutex.
  void Defer(std::function<void()> work) { deferred.push_back(std::move(work)); }
  std::vector<std::function<void()>> deferred;

  // The session's current database (always present: a dropped one falls back to master).
  Database& CurrentDatabase();
  // A database by name, or 911 "Could not locate entry in sysdatabases for database 'x'...".
  Database& RequireDatabase(const std::string& name);
  // Whether this session may enter `db`: 942 when offline, 924 when single-user and used by
  // another session, 916/927 style refusals for suspect or loading databases. `number` of
  // 4060 style login checks use the same rules.
  void CheckCanEnter(const Database& db);
  // Why this session may not enter `db` (the error CheckCanEnter raises), or none: what
  // HAS_DBACCESS answers too.
  struct Refusal {
    int number, state;
    std::string text;
  };
  std::optional<Refusal> EntryRefusal(const Database& db);
  // Refuses a change of a read-only database: 3906 "Could not run BEGIN TRANSACTION in
  // database 'x' because the database is read-only." (the message SQL Server 2000 gives).
  void CheckWritable(const Database& db);
  const Login* CurrentLogin() const;
  bool IsSysadmin() const;
};

// Token reader over one statement. All Expect* fail with the syntax error 170 near the
// offending token.
class Parser {
 public:
  Parser(Context& ctx, std::vector<Token> tokens);
  const Token& Peek(size_t ahead = 0) const;  // an End token past the last
  Token Next();
  bool AtEnd() const;
  bool AcceptKeyword(const char* word);  // case-insensitive, plain identifiers only
  void ExpectKeyword(const char* word);
  bool AcceptSymbol(const char* symbol);  // "(", ",", "=", ".", ...
  void ExpectSymbol(const char* symbol);
  std::string ExpectName();  // a plain, [bracketed] or "quoted" identifier
  // A possibly qualified name: [server.][database.][owner.]object, parts left empty where
  // omitted ("master..sysdatabases" gives {"master", "", "sysdatabases"}); last part last.
  std::vector<std::string> ExpectQualifiedName();
  int64_t ExpectInteger();
  std::string ExpectString();  // a '...' or N'...' literal
  void ExpectEnd();
  [[noreturn]] void FailHere();  // syntax error near the current token
  Context& ctx;
  size_t position = 0;
  std::vector<Token> tokens;
  int nesting = 0;  // the expression parser's recursion depth (bounded, error 191)
  Token keyword;    // of a registered statement: its leading keyword as written
};

// Procedure arguments after binding to the declared parameters.
struct ProcParam {
  std::string name;  // with its '@'
  bool required = false;
};

// An argument of a procedure call: [@name =] value [OUTPUT]; `output` is the caller's
// variable an output parameter's value goes back to (null: none).
struct ProcedureArgument {
  std::string name;  // with its '@'; empty when given by position
  Value value;
  ColumnInfo type;
  bool is_default = false;
  Variable* output = nullptr;
};

class ProcArgs {
 public:
  bool Has(const std::string& name) const;  // given and not NULL
  std::string Text(const std::string& name, const std::string& fallback = "") const;
  std::optional<int64_t> Int(const std::string& name) const;  // 8114 on text that is no number
  const Value* Get(const std::string& name) const;
  std::vector<std::pair<std::string, Value>> values;  // bound, in declaration order
  Context* ctx = nullptr;
  // A procedure that takes more than its parameters (sp_executesql): the rest, as given.
  std::vector<ProcedureArgument> more;
};

using StatementHandler = std::function<void(Context&, Parser&)>;
using ProcedureHandler = std::function<void(Context&, const ProcArgs&)>;

// Registers the handler of a statement by its leading keyword ("KILL", "DBCC", "ALTER").
struct StatementRegistration {
  StatementRegistration(const char* keyword, StatementHandler handler);
};
// Registers a stored procedure by name (case-insensitive; "master.dbo." prefixes allowed).
struct ProcedureRegistration {
  // TakesMore: arguments past the parameters are kept in ProcArgs::more, not refused.
  ProcedureRegistration(const char* name, std::vector<ProcParam> params, ProcedureHandler handler,
                        bool TakesMore = false);
};

// Runs one statement (its tokens) with the registered handlers: a leading keyword with a
// handler, EXEC/EXECUTE, or a bare procedure name. Unknown procedures: 2812.
void ExecuteStatement(Context& ctx, std::vector<Token> tokens);
// Calls a registered procedure ([server.][database.][owner.]name) with its arguments.
void CallProcedure(Context& ctx, const std::vector<std::string>& name_parts, std::vector<ProcedureArgument> args);

// Value conversions used by handlers and functions.
std::string ValueText(const Value& value);  // "" for NULL; numbers as SQL Server prints them
bool IsNull(const Value& value);

}  // namespace msde
