// CREATE PROCEDURE [owner.]name [(] @p type [= default] [OUTPUT], ... [)] [WITH ...] AS body,
// DROP PROCEDURE name, ..., and the call of such a procedure: its body runs in the
// procedure's own database, RETURN n gives its status, OUTPUT arguments get the values
// their parameters ended with.
#include "engine/UserProcedures.h"

#include "engine/BatchRunner.h"
#include "engine/ProcedureParameters.h"
#include "engine/SqlTime.h"
#include "engine/Values.h"

namespace msde {
namespace {

// The database the procedure runs in becomes the session's while it runs.
class DatabaseGuard {
 public:
  DatabaseGuard(Session& session, const std::string& name) : session_(session), saved_(session.database) {
    session_.database = name;
  }
  ~DatabaseGuard() { session_.database = saved_; }
  DatabaseGuard(const DatabaseGuard&) = delete;
  DatabaseGuard& operator=(const DatabaseGuard&) = delete;

 private:
  Session& session_;
  std::string saved_;
};

void DropProcedure(Context& ctx, Parser& p) {
  if (!p.AcceptKeyword("PROCEDURE") && !p.AcceptKeyword("PROC")) ctx.SyntaxError(p.keyword.text);
  do {
    const auto name = p.ExpectQualifiedName();
    Database& db = name.size() >= 3 && !name[name.size() - 3].empty() ? ctx.RequireDatabase(name[name.size() - 3])
                                                                        : ctx.CurrentDatabase();
    const std::string owner = name.size() >= 2 ? name[name.size() - 2] : "";
    StoredProcedure* proc = db.FindProcedure(owner, name.back());
    if (proc == nullptr) {
      if (ctx.model.server.Is2005())
        ctx.Fail(3701, 11, 5, "Cannot drop the procedure '" + name.back() +
                                  "', because it does not exist or you do not have permission.");
      ctx.Fail(3701, 11, 5, "Cannot drop the procedure '" + name.back() + "', because it does not exist in the system catalog.");
    }
    db.procedures.erase(db.procedures.begin() + (proc - db.procedures.data()));
  } while (p.AcceptSymbol(","));
  p.ExpectEnd();
}

const StatementRegistration drop_statement("DROP", DropProcedure);

}  // namespace

void CreateProcedure(Context& ctx, Parser& p) {
  const std::string& text = *ctx.batch->text;
  // The body runs to the end of the batch, so nothing may come before it.
  const std::vector<Token> batch = Tokenize(text);
  if (batch.empty() || batch.front().begin != p.keyword.begin)
    ctx.Fail(111, 15, 1, "'CREATE PROCEDURE' must be the first statement in a query batch.", true);
  p.Next();  // PROC or PROCEDURE
  const auto name = p.ExpectQualifiedName();
  if (name.size() >= 3 && !name[name.size() - 3].empty() && !EqualNoCase(name[name.size() - 3], ctx.CurrentDatabase().name))
    ctx.Fail(166, 15, 1, "'CREATE PROCEDURE' does not allow specifying the database name as a prefix to the object name.",
             true);
  StoredProcedure proc;
  proc.name = name.back();
  if (name.size() >= 2 && !name[name.size() - 2].empty()) proc.owner = name[name.size() - 2];
  // The parameters are kept as written and declared afresh at each call.
  const bool parenthesised = p.AcceptSymbol("(");
  size_t from = p.Peek().begin, to = from;
  while (!p.AtEnd() && !p.Peek().IsWord("AS") && !p.Peek().IsWord("WITH") && !p.Peek().IsWord("FOR")) {
    if (parenthesised && p.Peek().IsSymbol(")") && (p.Peek(1).IsWord("AS") || p.Peek(1).IsWord("WITH"))) break;
    to = p.Next().end;
  }
  if (parenthesised) p.ExpectSymbol(")");
  proc.parameters = to > from ? text.substr(from, to - from) : "";
  while (!p.AtEnd() && !p.Peek().IsWord("AS")) p.Next();  // WITH RECOMPILE, ENCRYPTION; FOR REPLICATION
  if (p.AtEnd()) p.FailHere();
  const Token as = p.Next();
  proc.body = text.substr(as.end);
  if (p.AtEnd()) p.FailHere();
  // A parameter list that does not parse is refused now, as SQL Server compiles it.
  {
    BatchState trial;
    DeclareParameters(ctx, proc.parameters, trial, true);
  }
  Database& db = ctx.CurrentDatabase();
  ctx.CheckWritable(db);
  if (db.FindProcedure("", proc.name) != nullptr || db.FindTable("", proc.name) != nullptr)
    ctx.Fail(2714, 16, 3, "There is already an object named '" + proc.name + "' in the database.");
  proc.id = db.NextObjectId();
  proc.crdate = NowDateTime();
  db.procedures.push_back(std::move(proc));
}

std::vector<ProcedureParameter> ParameterList(Context& ctx, const StoredProcedure& proc) {
  BatchState trial;
  std::vector<ProcedureParameter> list;
  for (const DeclaredParameter& p : DeclareParameters(ctx, proc.parameters, trial, true)) {
    ColumnInfo type = p.variable->type;
    type.name = p.name;
    list.push_back({type, p.output});
  }
  return list;
}

bool CallStoredProcedure(Context& ctx, const std::vector<std::string>& name_parts,
                         const std::vector<ProcedureArgument>& args) {
  const bool named_db = name_parts.size() >= 3 && !name_parts[name_parts.size() - 3].empty();
  Database& db = named_db ? ctx.RequireDatabase(name_parts[name_parts.size() - 3]) : ctx.CurrentDatabase();
  const std::string owner = name_parts.size() >= 2 ? name_parts[name_parts.size() - 2] : "";
  const StoredProcedure* found = db.FindProcedure(owner, name_parts.back());
  if (found == nullptr) return false;
  const StoredProcedure proc = *found;  // a body that drops its own procedure still runs to its end
  const std::string database = db.name;

  BatchState inner;
  EnterNestedBatch(ctx, inner);
  inner.is_procedure = true;
  ctx.procedure = proc.name;
  ctx.in_procedure = true;
  std::vector<DeclaredParameter> params = DeclareParameters(ctx, proc.parameters, inner, true);
  const auto outputs = BindArguments(ctx, proc.name, params, args, 1);
  for (const DeclaredParameter& p : params) {
    if (p.given || p.has_default) continue;
    ctx.Fail(201, 16, 4, std::string(ctx.model.server.Is2005() ? "Procedure or function '" : "Procedure '") +
                             proc.name + "' expects parameter '" + p.name + "', which was not supplied.");
  }
  {
    DatabaseGuard in_own_database(ctx.session, database);
    if (!RunNestedBatch(ctx, proc.body, inner)) throw BatchCancelled{};
  }
  for (const auto& [from, to] : outputs) AssignVariable(ctx, *to, from->value, from->type);
  ctx.error = ctx.session.error;
  ctx.return_status = inner.return_status.value_or(0);
  ctx.rowcount = ctx.session.rowcount;  // EXECUTE keeps @@ROWCOUNT as the procedure left it
  return true;
}

}  // namespace msde
