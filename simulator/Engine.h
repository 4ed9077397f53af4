#pragma once
// The seam between msde-sim's TDS front end and its SQL engine. The front end turns packets
// into logins and batches and turns what the engine reports into TDS tokens; the engine
// owns the server model (databases, logins, sessions) and knows nothing of the protocol.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace msde {

// Column types as SQL Server 2000 describes them in result sets. A Variant (sql_variant)
// column carries each value with its own base type: text as nvarchar, integers as int (or
// bigint), floats as float, datetimes as datetime. Binary and VarBinary values are text
// holding the raw bytes.
enum class SqlType {
  Int, SmallInt, TinyInt, Bit, BigInt, Float, Real, Numeric, Decimal, Money,
  DateTime, Char, VarChar, NChar, NVarChar, Text, NText, UniqueIdentifier, Variant,
  Binary, VarBinary,
  SmallDateTime  // a datetime to the minute, 1900-01-01 to 2079-06-06
};

struct ColumnInfo {
  ColumnInfo() = default;
  ColumnInfo(std::string name, SqlType type = SqlType::Int, int length = 0, int precision = 0, int scale = 0,
             bool nullable = true)
      : name(std::move(name)), type(type), length(length), precision(precision), scale(scale), nullable(nullable) {}
  std::string name;
  SqlType type = SqlType::Int;
  int length = 0;     // characters for the character types; ignored for fixed-size types
  int precision = 0;  // numeric/decimal
  int scale = 0;      // numeric/decimal
  bool nullable = true;
  // A sql_variant result's base type when the expression knows it (the type put into the
  // variant); values of another form show their own.
  std::shared_ptr<const ColumnInfo> variant_base;
};

// A datetime as TDS carries it: days since 1900-01-01 and 1/300 s ticks since midnight (a
// smalldatetime's ticks are whole minutes).
struct SqlDateTime {
  int32_t days = 0;
  uint32_t ticks = 0;
  bool operator==(const SqlDateTime&) const = default;
};

// A cell: null, an integer (int/smallint/tinyint/bit/bigint), a float (float/real), text
// (char types, text, numeric/decimal/money as decimal text with "." , uniqueidentifier as
// its 36-character form) or a datetime.
using Value = std::variant<std::monostate, int64_t, double, std::string, SqlDateTime>;
using Row = std::vector<Value>;

// An informational message (severity 10 or less, an INFO token) or an error (an ERROR token).
struct Message {
  int number = 0;
  int state = 1;
  int severity = 16;
  std::string text;
  std::string procedure;  // empty outside stored procedures
  int line = 1;
  // Sent to the client at once instead of waiting for a packet to fill: the progress
  // messages of STATS and RAISERROR ... WITH NOWAIT.
  bool now = false;
};

// A transaction of a session began (@@TRANCOUNT 0 to 1) or ended (back to 0).
enum class TransactionEvent { Began, Committed, RolledBack };

// What a batch reports, in order. The front end decides which DONE is the last one.
class BatchSink {
 public:
  virtual ~BatchSink() = default;
  virtual void Columns(const std::vector<ColumnInfo>& columns) = 0;  // starts a result set
  virtual void RowData(const Row& row) = 0;
  virtual void Info(const Message& message) = 0;
  virtual void Error(const Message& message) = 0;
  // Ends one statement. RowCount < 0: no count to report. Error: the statement failed.
  virtual void Done(int64_t RowCount, bool Error) = 0;
  virtual void DatabaseChanged(const std::string& OldName, const std::string& NewName) = 0;
  virtual void TransactionChanged(TransactionEvent) {}
};

// What LOGINACK tells of the server: its product version, and whether it speaks TDS 7.2
// (SQL Server 2005) or at most 7.1 (SQL Server 2000).
struct ServerProduct {
  uint8_t major = 8, minor = 0;
  uint16_t build = 2039;
  bool tds72 = false;
};

struct LoginRequest {
  std::string user, password, database, application, host, language;
  int client_pid = 0;
};

// One connection's state inside the engine.
struct Session {
  int spid = 0;
  std::string login;
  std::string host;
  std::string program;
  std::string language = "us_english";
  std::string database = "master";
  std::time_t login_time = 0;
  std::time_t last_batch = 0;
  std::string status = "sleeping";
  std::string command = "AWAITING COMMAND";
  // Transaction state, kept by the engine: @@TRANCOUNT, SET IMPLICIT_TRANSACTIONS, and SET
  // NOCOUNT (statements then report no row count).
  int trancount = 0;
  bool implicit_transactions = false;
  bool nocount = false;
  // @@ROWCOUNT and @@ERROR: the rows and the error number of the last statement.
  int64_t rowcount = 0;
  int error = 0;
  // SET LOCK_TIMEOUT (ms; -1 waits for ever), SET TRANSACTION ISOLATION LEVEL READ
  // UNCOMMITTED (reads wait for no lock), and the kind of the last lock wait.
  int64_t lock_timeout = -1;
  bool read_uncommitted = false;
  std::string last_wait_type;
  // DBCC INPUTBUFFER: the last batch, or the name of the last procedure called by RPC.
  // rpc_name is set by the front end just before it runs an RPC's batch.
  std::string input_buffer;
  bool input_rpc = false;
  std::string rpc_name;
  // Set by the front end when the client sends an attention; long waits poll it.
  std::atomic<bool> cancel_requested{false};
  // Set by the engine when another session KILLs this one; the front end closes the socket.
  std::atomic<bool> killed{false};
  std::function<void()> on_killed;
};

// A procedure called by RPC with output parameters: its arguments by name or position, each
// in the client's type; the output ones come back with the values the procedure left them.
struct CallArgument {
  std::string name;  // with its '@', or empty
  ColumnInfo type;
  Value value;
  bool output = false;
};
struct ProcedureCall {
  std::string procedure;
  std::vector<CallArgument> args;
  // The call as statement text with its values written in (for the trace, and for an engine
  // that runs calls as text).
  std::string sql;
  std::optional<int> return_status;  // filled in by an engine that knows it
};

class Engine {
 public:
  virtual ~Engine() = default;
  // Checks the login (18456 on a wrong name or password, 4060 on a database that cannot be
  // opened) and registers a session, or returns null and fills Errors.
  virtual std::shared_ptr<Session> Login(const LoginRequest& request,
                                         std::vector<Message>& Errors) = 0;
  // Runs a SQL batch: statements separated as SQL Server separates them (not by "GO").
  virtual void ExecuteBatch(Session& session, const std::string& sql, BatchSink& sink) = 0;
  // Runs a procedure call; the default runs its text, its outputs keeping their values.
  virtual void ExecuteCall(Session& session, ProcedureCall& call, BatchSink& sink) {
    ExecuteBatch(session, call.sql, sink);
  }
  virtual void Logout(Session& session) = 0;
  // Server facts the front end needs for LOGINACK.
  virtual std::string ServerName() const = 0;
  virtual ServerProduct Product() const { return {}; }
};

}  // namespace msde
