#include "engine/Statements.h"

#include <map>
#include <thread>

#include "engine/Expression.h"
#include "engine/Values.h"
#include "engine/UserProcedures.h"
#include "engine/Variables.h"

namespace msde {
namespace {

struct ProcedureEntry {
  std::string name;  // as SQL Server spells it
  std::vector<ProcParam> params;
  ProcedureHandler handler;
  bool takes_more = false;  // arguments past its parameters go to ProcArgs::more
};

// Function-local tables: registrations run during static initialisation of other files.
std::map<std::string, StatementHandler>& StatementTable() {
  static std::map<std::string, StatementHandler> table;
  return table;
}

std::map<std::string, ProcedureEntry>& ProcedureTable() {
  static std::map<std::string, ProcedureEntry> table;
  return table;
}

Message MakeMessage(const Context& ctx, int number, int severity, int state,
                    const std::string& text) {
  Message m;
  m.number = number;
  m.severity = severity;
  m.state = state;
  m.text = text;
  m.procedure = ctx.procedure;
  m.line = ctx.line;
  return m;
}

Value LiteralValue(Parser& p) {
  const Token t = p.Next();
  switch (t.kind) {
    case TokenKind::String:
    case TokenKind::NString:
    case TokenKind::Quoted:  // a "quoted" argument is a string to a procedure
    case TokenKind::Bracketed:
      return t.text;
    case TokenKind::Number: {
      if (t.text.find_first_of(".eE") == std::string::npos && t.text.rfind("0x", 0) != 0) {
        try {
          return static_cast<int64_t>(std::stoll(t.text));
        } catch (const std::out_of_range&) {
          return t.text;
        }
      }
      return t.text;
    }
    case TokenKind::Word:
      if (t.IsWord("NULL")) return std::monostate{};
      return t.text;  // an unquoted identifier passes as its text
    case TokenKind::Symbol:
      if (t.text == "-" || t.text == "+") {
        // A run of signs is counted, not recursed into: a hostile batch may hold thousands.
        bool negative = t.text == "-";
        while (p.Peek().IsSymbol("-") || p.Peek().IsSymbol("+")) negative ^= p.Next().text == "-";
        Value v = LiteralValue(p);
        if (negative) {
          if (std::holds_alternative<int64_t>(v)) return -std::get<int64_t>(v);
          if (std::holds_alternative<std::string>(v)) return "-" + std::get<std::string>(v);
        }
        return v;
      }
      break;
    case TokenKind::Variable:
      if (const Variable* v = p.ctx.FindVariable(t.text)) return v->value;
      p.ctx.Fail(137, 15, 2, "Must declare the variable '" + t.text + "'.", true);
    default:
      break;
  }
  --p.position;
  p.FailHere();
}

// The type a literal argument has, as a procedure's parameter receives it.
ColumnInfo LiteralType(const Token& t, const Value& value) {
  ColumnInfo type;
  if (std::holds_alternative<int64_t>(value)) {
    type.type = SqlType::Int;
  } else if (std::holds_alternative<std::string>(value)) {
    const std::string& text = std::get<std::string>(value);
    type = TextType(Utf8Length(text), t.kind == TokenKind::NString);
    if (t.kind == TokenKind::Number && text.rfind("0x", 0) != 0) {
      type.type = SqlType::Numeric;
      type.precision = 38;
      type.scale = text.find('.') == std::string::npos ? 0 : static_cast<int>(text.size() - text.find('.') - 1);
    }
  }
  return type;
}

std::vector<ProcedureArgument> ParseArguments(Parser& p) {
  std::vector<ProcedureArgument> args;
  if (p.AtEnd()) return args;
  do {
    ProcedureArgument arg;
    if (p.Peek().kind == TokenKind::Variable && p.Peek(1).IsSymbol("=")) {
      arg.name = p.Next().text;
      p.Next();
    }
    Variable* variable = p.Peek().kind == TokenKind::Variable ? p.ctx.FindVariable(p.Peek().text) : nullptr;
    if (p.Peek().IsWord("DEFAULT")) {
      p.Next();
      arg.is_default = true;
    } else if (variable != nullptr) {
      p.Next();
      arg.value = variable->value;
      arg.type = variable->type;
    } else {
      const Token t = p.Peek();
      arg.value = LiteralValue(p);
      arg.type = LiteralType(t, arg.value);
    }
    if (p.Peek().IsWord("OUTPUT") || p.Peek().IsWord("OUT")) {
      p.Next();
      arg.output = variable;  // a constant passed for an output parameter gets nothing back
    }
    args.push_back(std::move(arg));
  } while (p.AcceptSymbol(","));
  p.ExpectEnd();
  return args;
}

}  // namespace

void CallProcedure(Context& ctx, const std::vector<std::string>& name_parts, std::vector<ProcedureArgument> raw) {
  if (CallStoredProcedure(ctx, name_parts, raw)) return;
  const std::string& name = name_parts.back();
  auto& table = ProcedureTable();
  auto it = table.find(Upper(name));
  if (it == table.end()) ctx.Fail(2812, 16, 62, "Could not find stored procedure '" + name + "'.");
  if (name_parts.size() >= 3 && !name_parts[name_parts.size() - 3].empty())
    ctx.RequireDatabase(name_parts[name_parts.size() - 3]);
  const ProcedureEntry& entry = it->second;

  ctx.procedure = entry.name;
  ctx.in_procedure = true;
  ProcArgs args;
  args.ctx = &ctx;
  std::vector<bool> given(entry.params.size(), false);
  std::vector<Value> values(entry.params.size());
  bool named_seen = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    size_t slot = i;
    if (!raw[i].name.empty()) {
      named_seen = true;
      slot = entry.params.size();
      for (size_t k = 0; k < entry.params.size(); ++k)
        if (EqualNoCase(entry.params[k].name, raw[i].name)) slot = k;
      if (slot == entry.params.size() && !entry.takes_more)
        ctx.Fail(8145, 16, 2, raw[i].name + " is not a parameter for procedure " + entry.name + ".");
    } else if (named_seen) {
      ctx.Fail(119, 15, 1,
               "Must pass parameter number " + std::to_string(i + 1) +
                   " and subsequent parameters as '@name = value'. After the form '@name = "
                   "value' has been used, all subsequent parameters must be passed in the form "
                   "'@name = value'.");
    } else if (slot >= entry.params.size()) {
      if (entry.takes_more) {
        args.more.push_back(raw[i]);
        continue;
      }
      ctx.Fail(8144, 16, 2, "Procedure or function " + entry.name + " has too many arguments specified.");
    }
    if (!raw[i].name.empty() && slot == entry.params.size()) {
      args.more.push_back(raw[i]);
      continue;
    }
    if (raw[i].is_default) continue;
    given[slot] = true;
    values[slot] = raw[i].value;
  }
  for (size_t k = 0; k < entry.params.size(); ++k) {
    if (entry.params[k].required && !given[k])
      ctx.Fail(201, 16, 4, "Procedure '" + entry.name + "' expects parameter '" +
                               entry.params[k].name + "', which was not supplied.");
    if (given[k]) args.values.emplace_back(entry.params[k].name, values[k]);
  }
  ctx.return_status = 0;
  entry.handler(ctx, args);
  ctx.rowcount = ctx.session.rowcount;  // EXECUTE keeps @@ROWCOUNT as the procedure left it
}

// --- Context -------------------------------------------------------------------------

void Context::Info(int number, const std::string& text, int severity, int state) {
  sink.Info(MakeMessage(*this, number, severity, state, text));
}

void Context::InfoNow(int number, const std::string& text, int severity, int state) {
  Message m = MakeMessage(*this, number, severity, state, text);
  m.now = true;
  sink.Info(m);
}

void Context::Error(int number, int severity, int state, const std::string& text, bool now) {
  Message m = MakeMessage(*this, number, severity, state, text);
  m.now = now;
  sink.Error(m);
}

void Context::Fail(int number, int severity, int state, const std::string& text, bool AbortBatch) {
  throw SqlError(MakeMessage(*this, number, severity, state, text), AbortBatch);
}

void Context::FailTerminated(int number, int severity, int state, const std::string& text) {
  SqlError error(MakeMessage(*this, number, severity, state, text), false);
  sink.Error(error.message);
  Info(3621, "The statement has been terminated.", 0, 1);
  error.sent = true;
  throw error;
}

void Context::SyntaxError(const std::string& near) {
  const std::string saved = procedure;
  procedure.clear();
  // SQL Server 2005 names the line only in the message's line field.
  Message m = model.server.Is2005()
                  ? MakeMessage(*this, 102, 15, 1, "Incorrect syntax near '" + near + "'.")
                  : MakeMessage(*this, 170, 15, 1, "Line " + std::to_string(line) + ": Incorrect syntax near '" + near + "'.");
  procedure = saved;
  throw SqlError(m, true);
}

void Context::SendResult(const ResultSet& result) {
  BeginResult(result.columns);
  for (const Row& row : result.rows) ResultRow(row);
  EndResult(static_cast<int64_t>(result.rows.size()));
}

void Context::BeginResult(const std::vector<ColumnInfo>& columns) { sink.Columns(columns); }

void Context::ResultRow(const Row& row) { sink.RowData(row); }

void Context::EndResult(int64_t rows) {
  if (in_procedure) sink.Done(session.nocount ? -1 : rows, false);
  else last_count = rows;
}

bool Context::WaitUnlocked(std::chrono::milliseconds duration) {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  lock.unlock();
  bool finished = true;
  while (std::chrono::steady_clock::now() < deadline) {
    if (session.cancel_requested || session.killed) {
      finished = false;
      break;
    }
    const auto left = deadline - std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        left, std::chrono::milliseconds(10)));
  }
  lock.lock();
  return finished && !session.cancel_requested && !session.killed;
}

Database& Context::CurrentDatabase() {
  if (Database* db = model.FindDatabase(session.database)) return *db;
  session.database = "master";
  return *model.FindDatabase("master");
}

Database& Context::RequireDatabase(const std::string& name) {
  if (Database* db = model.FindDatabase(name)) return *db;
  Fail(911, 16, 1,
       "Could not locate entry in sysdatabases for database '" + name +
           "'. No entry found with that name. Make sure that the name is entered correctly.");
}

const Login* Context::CurrentLogin() const { return model.FindLogin(session.login); }

bool Context::IsSysadmin() const {
  const Login* login = CurrentLogin();
  return login != nullptr && login->sysadmin;
}

std::optional<Context::Refusal> Context::EntryRefusal(const Database& db) {
  if (db.Has(DbStatus::Offline))
    return Refusal{942, 4, "Database '" + db.name + "' cannot be opened because it is offline."};
  // 2005's emergency mode keeps the database to the system administrators.
  const bool emergency = model.server.Is2005() && db.Has(DbStatus::EmergencyMode);
  if (db.Has(DbStatus::NotRecovered) && !emergency)
    return Refusal{926, 1, "Database '" + db.name +
                               "' cannot be opened. It has been marked SUSPECT by recovery. See the "
                               "SQL Server errorlog for more information."};
  if (db.Has(DbStatus::Loading))
    return Refusal{927, 2, "Database '" + db.name + "' cannot be opened. It is in the middle of a restore."};
  if (db.Has(DbStatus::SingleUser) && !model.SessionsIn(db.name, &session).empty())
    return Refusal{924, 1, "Database '" + db.name + "' is already open and can only have one user at a time."};
  if (IsSysadmin()) return std::nullopt;
  Database& target = *model.FindDatabase(db.name);
  const DbUser* user = target.FindUserByLogin(session.login);
  const bool is_owner = EqualNoCase(db.owner_login, session.login) ||
                        (user != nullptr && (user->name == "dbo" ||
                                             std::find(user->roles.begin(), user->roles.end(),
                                                       "db_owner") != user->roles.end()));
  const DbUser* guest = target.FindUser("guest");
  if ((user == nullptr && guest == nullptr) || (db.Has(DbStatus::DboUseOnly) && !is_owner) || emergency)
    return Refusal{916, 1, "Server user '" + session.login + "' is not a valid user in database '" +
                               db.name + "'."};
  return std::nullopt;
}

void Context::CheckCanEnter(const Database& db) {
  if (const std::optional<Refusal> refusal = EntryRefusal(db)) Fail(refusal->number, 14, refusal->state, refusal->text);
}

void Context::CheckWritable(const Database& db) {
  if (db.Has(DbStatus::ReadOnly))
    Fail(3906, 16, 1, "Could not run BEGIN TRANSACTION in database '" + db.name +
                          "' because the database is read-only.");
}

// --- Parser --------------------------------------------------------------------------

Parser::Parser(Context& ctx, std::vector<Token> tokens) : ctx(ctx), tokens(std::move(tokens)) {}

const Token& Parser::Peek(size_t ahead) const {
  static const Token end;
  return position + ahead < tokens.size() ? tokens[position + ahead] : end;
}

Token Parser::Next() {
  Token t = Peek();
  if (position < tokens.size()) ++position;
  return t;
}

bool Parser::AtEnd() const { return position >= tokens.size(); }

bool Parser::AcceptKeyword(const char* word) {
  if (!Peek().IsWord(word)) return false;
  ++position;
  return true;
}

void Parser::ExpectKeyword(const char* word) {
  if (!AcceptKeyword(word)) FailHere();
}

bool Parser::AcceptSymbol(const char* symbol) {
  if (!Peek().IsSymbol(symbol)) return false;
  ++position;
  return true;
}

void Parser::ExpectSymbol(const char* symbol) {
  if (!AcceptSymbol(symbol)) FailHere();
}

std::string Parser::ExpectName() {
  if (!Peek().IsName()) FailHere();
  return Next().text;
}

std::vector<std::string> Parser::ExpectQualifiedName() {
  std::vector<std::string> parts;
  parts.push_back(ExpectName());
  while (Peek().IsSymbol(".") && parts.size() < 4) {
    Next();
    if (Peek().IsSymbol(".")) {
      parts.emplace_back();  // "db..object": the owner left out
      continue;
    }
    parts.push_back(ExpectName());
  }
  return parts;
}

int64_t Parser::ExpectInteger() {
  const bool negative = AcceptSymbol("-");
  if (Peek().kind != TokenKind::Number || Peek().text.find_first_not_of("0123456789") != std::string::npos)
    FailHere();
  try {
    const int64_t n = std::stoll(Next().text);
    return negative ? -n : n;
  } catch (const std::out_of_range&) {
    --position;
    FailHere();
  }
}

std::string Parser::ExpectString() {
  if (Peek().kind != TokenKind::String && Peek().kind != TokenKind::NString) FailHere();
  return Next().text;
}

void Parser::ExpectEnd() {
  if (!AtEnd()) FailHere();
}

void Parser::FailHere() {
  if (!AtEnd()) {
    ctx.line = Peek().line;
    ctx.SyntaxError(Peek().Near());
  }
  // At the end SQL Server names the last token of the statement.
  const Token& last = tokens.empty() ? Peek() : tokens.back();
  ctx.line = last.line;
  ctx.SyntaxError(last.Near());
}

// --- Procedure arguments ---------------------------------------------------------------

const Value* ProcArgs::Get(const std::string& name) const {
  for (const auto& [param, value] : values)
    if (EqualNoCase(param, name)) return &value;
  return nullptr;
}

bool ProcArgs::Has(const std::string& name) const {
  const Value* v = Get(name);
  return v != nullptr && !IsNull(*v);
}

std::string ProcArgs::Text(const std::string& name, const std::string& fallback) const {
  const Value* v = Get(name);
  return v == nullptr || IsNull(*v) ? fallback : ValueText(*v);
}

std::optional<int64_t> ProcArgs::Int(const std::string& name) const {
  const Value* v = Get(name);
  if (v == nullptr || IsNull(*v)) return std::nullopt;
  auto n = ToInteger(*v);
  if (!n && ctx != nullptr)
    ctx->Fail(8114, 16, 5, "Error converting data type varchar to int.");
  return n;
}

// --- Registration and dispatch ---------------------------------------------------------

StatementRegistration::StatementRegistration(const char* keyword, StatementHandler handler) {
  StatementTable()[Upper(keyword)] = std::move(handler);
}

ProcedureRegistration::ProcedureRegistration(const char* name, std::vector<ProcParam> params,
                                             ProcedureHandler handler, bool takes_more) {
  ProcedureTable()[Upper(name)] = ProcedureEntry{name, std::move(params), std::move(handler), takes_more};
}

void ExecuteStatement(Context& ctx, std::vector<Token> tokens) {
  if (tokens.empty()) return;
  ctx.line = tokens.front().line;
  const Token first = tokens.front();
  if (first.IsWord("EXEC") || first.IsWord("EXECUTE")) {
    Parser p(ctx, std::vector<Token>(tokens.begin() + 1, tokens.end()));
    Variable* status = nullptr;  // "exec @status = proc"
    if (p.Peek().kind == TokenKind::Variable && p.Peek(1).IsSymbol("=")) {
      const Token name = p.Next();
      status = ctx.FindVariable(name.text);
      if (status == nullptr) ctx.Fail(137, 15, 2, "Must declare the variable '" + name.text + "'.", true);
      p.Next();
    }
    const auto name = p.ExpectQualifiedName();
    try {
      CallProcedure(ctx, name, ParseArguments(p));
    } catch (const SqlError& e) {
      // A procedure that failed returns a status other than 0.
      if (status != nullptr && !e.abort_batch) status->value = int64_t{1};
      throw;
    }
    if (status != nullptr) status->value = ctx.return_status.value_or(0);
    return;
  }
  if (first.kind == TokenKind::Word) {
    auto& table = StatementTable();
    auto it = table.find(Upper(first.text));
    if (it != table.end()) {
      Parser p(ctx, std::vector<Token>(tokens.begin() + 1, tokens.end()));
      p.keyword = first;
      it->second(ctx, p);
      return;
    }
  }
  static const char* kUnserved[] = {"CREATE", "DROP", "GRANT",
                                    "REVOKE", "DENY", "TRUNCATE", "BACKUP", "RESTORE",
                                    "GOTO", "OPEN", "FETCH", "CLOSE", "DEALLOCATE", "CHECKPOINT"};
  for (const char* word : kUnserved)
    if (first.IsWord(word)) ctx.SyntaxError(first.text);  // statements the engine does not serve
  if (first.IsName()) {
    // A batch may begin with a bare procedure name.
    Parser p(ctx, std::move(tokens));
    const auto name = p.ExpectQualifiedName();
    CallProcedure(ctx, name, ParseArguments(p));
    return;
  }
  ctx.SyntaxError(first.Near());
}

}  // namespace msde
