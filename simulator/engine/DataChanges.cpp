// INSERT, UPDATE and DELETE on user tables: values converted to their columns' types, the
// rules the data set declares (NOT NULL: 515, the primary key: 2627), the size of character
// and numeric columns (8152, 8115), the writer's rights (229), a read-only database (3906)
// and the row count. A statement changes all its rows or none; inside a transaction its
// changes stand until COMMIT or ROLLBACK (engine/Transactions.h).
#include <algorithm>

#include "engine/Expression.h"
#include "engine/SystemTables.h"
#include "engine/Transactions.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"

namespace msde {
namespace {

// The table a statement changes, as parsed; the rows are reached through
// PrepareTableChange once the statement is ready to change them, and each changed row is
// handed to KeepRowChange once the statement can no longer fail.
struct Target {
  std::string database;
  int table_id = 0;
  std::string name;         // as written, for column prefixes
  std::string owner, table;  // for messages
  std::vector<ColumnInfo> columns;
  std::vector<int> primary_key;
  std::string primary_key_name;
};

bool HasRole(const DbUser& user, const char* role) {
  return std::find(user.roles.begin(), user.roles.end(), role) != user.roles.end();
}

// 229 unless the session's user may change the table: sysadmin, the database's owner,
// db_owner and db_datawriter members, and the table's owner.
void CheckChangeRight(Context& ctx, Database& db, const Table& table, const char* action) {
  if (ctx.IsSysadmin() || EqualNoCase(db.owner_login, ctx.session.login)) return;
  const DbUser* user = db.FindUserByLogin(ctx.session.login);
  if (user == nullptr) user = db.FindUser("guest");
  if (user != nullptr && (user->name == "dbo" || HasRole(*user, "db_owner") ||
                          HasRole(*user, "db_datawriter") || EqualNoCase(user->name, table.owner)))
    return;
  if (ctx.model.server.Is2005())
    ctx.Fail(229, 14, 5, std::string("The ") + action + " permission was denied on the object '" + table.name +
                             "', database '" + db.name + "', schema '" + table.owner + "'.");
  ctx.Fail(229, 14, 5, std::string(action) + " permission denied on object '" + table.name +
                           "', database '" + db.name + "', owner '" + table.owner + "'.");
}

Target OpenTarget(Context& ctx, Parser& p, const char* action) {
  const std::vector<std::string> parts = p.ExpectQualifiedName();
  const std::string& object = parts.back();
  const std::string owner = parts.size() >= 2 ? parts[parts.size() - 2] : "";
  Database* db = &ctx.CurrentDatabase();
  if (parts.size() >= 3 && !parts[parts.size() - 3].empty()) {
    db = &ctx.RequireDatabase(parts[parts.size() - 3]);
    if (!EqualNoCase(db->name, ctx.session.database)) ctx.CheckCanEnter(*db);
  }
  if (IsSystemTableName(object) && (owner.empty() || EqualNoCase(owner, "dbo")))
    ctx.Fail(259, 16, 1, "Ad hoc updates to system catalogs are not enabled. The system administrator "
                         "must reconfigure SQL Server to allow this.");
  Table* table = db->FindTable(owner, object);
  if (table == nullptr) {
    std::string written;
    for (size_t i = 0; i < parts.size(); ++i) written += (i ? "." : "") + parts[i];
    ctx.Fail(208, 16, 1, "Invalid object name '" + written + "'.", true);
  }
  CheckChangeRight(ctx, *db, *table, action);
  ctx.CheckWritable(*db);
  return Target{db->name, table->id, object, table->owner, table->name, table->columns,
                table->primary_key, table->primary_key_name};
}

Scope ScopeOf(const Target& target) { return Scope{target.name, "", &target.columns}; }

int ColumnIndex(Context& ctx, const Target& target, const std::string& name) {
  for (size_t i = 0; i < target.columns.size(); ++i)
    if (EqualNoCase(target.columns[i].name, name)) return static_cast<int>(i);
  ctx.Fail(207, 16, 1, "Invalid column name '" + name + "'.");
}

bool IsSizedText(SqlType type) { return IsCharacterType(type) && type != SqlType::Text && type != SqlType::NText; }

// Digits before the point of decimal text.
size_t WholeDigits(const std::string& text) {
  size_t digits = 0;
  for (char c : text) {
    if (c == '.') break;
    if (c >= '0' && c <= '9') ++digits;
  }
  return text.rfind("0", 0) == 0 || text.rfind("-0", 0) == 0 ? digits - 1 : digits;
}

// A value as column `to` holds it; a NULL where the column allows none, text longer than
// the column and numbers wider than its precision end the statement as SQL Server ends it.
Value Store(Context& ctx, const Target& target, const Value& value, const ColumnInfo& from,
            const ColumnInfo& to, const char* action) {
  if (IsNull(value)) {
    if (!to.nullable)
      ctx.FailTerminated(515, 16, 2, "Cannot insert the value NULL into column '" + to.name + "', table '" +
                                         target.database + "." + target.owner + "." + target.table +
                                         "'; column does not allow nulls. " + action + " fails.");
    return value;
  }
  if (IsSizedText(to.type)) {
    ColumnInfo wide = to;
    wide.type = IsUnicodeType(to.type) ? SqlType::NText : SqlType::Text;
    const std::string text = ValueText(ConvertValue(ctx, value, from, wide, -1));
    if (Utf8Length(TrimRight(text)) > static_cast<size_t>(to.length))
      ctx.FailTerminated(8152, 16, 9, "String or binary data would be truncated.");
  }
  Value stored = ConvertValue(ctx, value, from, to, -1);
  if ((to.type == SqlType::Numeric || to.type == SqlType::Decimal) &&
      WholeDigits(ValueText(stored)) > static_cast<size_t>(std::max(to.precision - to.scale, 0)))
    ctx.FailTerminated(8115, 16, 8, "Arithmetic overflow error converting " + TypeName(from.type) +
                                        " to data type " + TypeName(to.type) + ".");
  return stored;
}

// How two rows' primary key values order.
int CompareKeys(const Target& target, const Row& a, const Row& b) {
  for (int k : target.primary_key) {
    const Value &x = a[static_cast<size_t>(k)], &y = b[static_cast<size_t>(k)];
    const int c = IsNull(x) ? (IsNull(y) ? 0 : -1) : IsNull(y) ? 1 : CompareValues(x, y);
    if (c != 0) return c;
  }
  return 0;
}

[[noreturn]] void DuplicateKey(Context& ctx, const Target& target) {
  ctx.FailTerminated(2627, 14, 1, "Violation of PRIMARY KEY constraint '" + target.primary_key_name +
                                      "'. Cannot insert duplicate key in object '" +
                                      (ctx.model.server.Is2005() ? target.owner + "." : "") + target.table + "'.");
}

// 2627 when two of `rows` share a primary key value.
void CheckPrimaryKey(Context& ctx, const Target& target, const std::vector<Row>& rows) {
  if (target.primary_key.empty()) return;
  std::vector<const Row*> sorted;
  for (const Row& row : rows) sorted.push_back(&row);
  std::sort(sorted.begin(), sorted.end(),
            [&](const Row* a, const Row* b) { return CompareKeys(target, *a, *b) < 0; });
  for (size_t i = 1; i < sorted.size(); ++i)
    if (CompareKeys(target, *sorted[i - 1], *sorted[i]) == 0) DuplicateKey(ctx, target);
}

// 2627 when a new row's key is taken by a row of the table: one pass over the table.
void CheckNewKeys(Context& ctx, const Target& target, const std::vector<Row>& rows, const std::vector<Row>& added) {
  if (target.primary_key.empty()) return;
  CheckPrimaryKey(ctx, target, added);
  for (const Row& row : rows)
    for (const Row& now : added)
      if (CompareKeys(target, row, now) == 0) DuplicateKey(ctx, target);
}

// Keeps the rows of a SELECT instead of sending them: INSERT ... SELECT.
class RowCollector : public BatchSink {
 public:
  void Columns(const std::vector<ColumnInfo>& c) override { columns = c; }
  void RowData(const Row& row) override { rows.push_back(row); }
  void Info(const Message&) override {}
  void Error(const Message&) override {}
  void Done(int64_t, bool) override {}
  void DatabaseChanged(const std::string&, const std::string&) override {}
  std::vector<ColumnInfo> columns;
  std::vector<Row> rows;
};

// The new rows' values: one VALUES row, DEFAULT VALUES, or the rows of a SELECT; each
// value comes with the type it has.
struct Source {
  std::vector<ColumnInfo> types;
  std::vector<Row> rows;
};

Source ValuesOf(Context& ctx, Parser& p) {
  Source source;
  if (p.AcceptKeyword("DEFAULT")) {
    p.ExpectKeyword("VALUES");
    source.rows.emplace_back();
    return source;
  }
  if (p.Peek().IsWord("SELECT")) {
    RowCollector collector;
    Context inner(ctx.session, ctx.model, collector, ctx.lock);
    inner.line = ctx.line;
    ExecuteStatement(inner, std::vector<Token>(p.tokens.begin() + static_cast<std::ptrdiff_t>(p.position), p.tokens.end()));
    p.position = p.tokens.size();
    source.types = std::move(collector.columns);
    source.rows = std::move(collector.rows);
    return source;
  }
  p.ExpectKeyword("VALUES");
  p.ExpectSymbol("(");
  Row row;
  EvalEnv env{ctx, nullptr};
  do {
    ExprPtr e = ParseExpression(p);
    e->Bind(ctx, Scope{});
    source.types.push_back(e->Type());
    row.push_back(e->Eval(env));
  } while (p.AcceptSymbol(","));
  p.ExpectSymbol(")");
  p.ExpectEnd();
  source.rows.push_back(std::move(row));
  return source;
}

// INSERT [INTO] table [(column, ...)] {VALUES (...) | SELECT ... | DEFAULT VALUES}
void Insert(Context& ctx, Parser& p) {
  p.AcceptKeyword("INTO");
  const Target target = OpenTarget(ctx, p, "INSERT");
  std::vector<int> listed;
  if (p.AcceptSymbol("(")) {
    do listed.push_back(ColumnIndex(ctx, target, p.ExpectName()));
    while (p.AcceptSymbol(","));
    p.ExpectSymbol(")");
  }
  const bool defaults = p.Peek().IsWord("DEFAULT");
  Source source = ValuesOf(ctx, p);
  if (listed.empty() && !defaults)
    for (size_t i = 0; i < target.columns.size(); ++i) listed.push_back(static_cast<int>(i));
  const size_t given = source.types.size();
  if (!defaults && given != listed.size()) {
    if (listed.size() == target.columns.size() && listed.size() != given)
      ctx.Fail(213, 16, 4, "Insert Error: Column name or number of supplied values does not match table definition.");
    ctx.Fail(given < listed.size() ? 109 : 110, 15, 1,
             given < listed.size()
                 ? "There are more columns in the INSERT statement than values specified in the VALUES clause. The "
                   "number of values in the VALUES clause must match the number of columns specified in the INSERT statement."
                 : "There are fewer columns in the INSERT statement than values specified in the VALUES clause. The "
                   "number of values in the VALUES clause must match the number of columns specified in the INSERT statement.");
  }
  std::vector<Row> added;
  for (const Row& values : source.rows) {
    Row row(target.columns.size());
    std::vector<bool> set(target.columns.size(), false);
    for (size_t i = 0; i < listed.size(); ++i) {
      const ColumnInfo& column = target.columns[static_cast<size_t>(listed[i])];
      row[static_cast<size_t>(listed[i])] = Store(ctx, target, values[i], source.types[i], column, "INSERT");
      set[static_cast<size_t>(listed[i])] = true;
    }
    for (size_t c = 0; c < row.size(); ++c)
      if (!set[c]) Store(ctx, target, Value{}, target.columns[c], target.columns[c], "INSERT");
    added.push_back(std::move(row));
  }
  // A new row waits only for a row of another transaction that holds its key.
  RowTest collides = [](const Row&) { return false; };
  if (!target.primary_key.empty())
    collides = [&](const Row& row) {
      return std::any_of(added.begin(), added.end(), [&](const Row& now) { return CompareKeys(target, row, now) == 0; });
    };
  Table& table = PrepareTableChange(ctx, target.database, target.table_id, collides, 'X');
  CheckNewKeys(ctx, target, table.rows, added);
  const size_t first = table.rows.size();
  table.rows.insert(table.rows.end(), std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
  for (size_t i = first; i < table.rows.size(); ++i) KeepRowChange(ctx, target.database, table, nullptr, &table.rows[i], i);
  ctx.last_count = static_cast<int64_t>(table.rows.size() - first);
}

// [WHERE condition] bound to the target's columns; null when there is none.
ExprPtr ParseWhere(Context& ctx, Parser& p, const Target& target) {
  if (!p.AcceptKeyword("WHERE")) {
    p.ExpectEnd();
    return nullptr;
  }
  ExprPtr where = ParseExpression(p);
  p.ExpectEnd();
  where->Bind(ctx, ScopeOf(target));
  return where;
}

bool Matches(Context& ctx, const ExprPtr& where, const Row& row) {
  if (!where) return true;
  EvalEnv env{ctx, &row};
  return IsTrue(where->Eval(env));
}

// UPDATE table SET column = expression [, ...] [WHERE condition]
void Update(Context& ctx, Parser& p) {
  const Target target = OpenTarget(ctx, p, "UPDATE");
  p.ExpectKeyword("SET");
  std::vector<std::pair<int, ExprPtr>> assignments;
  do {
    const std::vector<std::string> column = p.ExpectQualifiedName();
    p.ExpectSymbol("=");
    ExprPtr value = ParseExpression(p);
    value->Bind(ctx, ScopeOf(target));
    assignments.emplace_back(ColumnIndex(ctx, target, column.back()), std::move(value));
  } while (p.AcceptSymbol(","));
  const ExprPtr where = ParseWhere(ctx, p, target);
  Table& table = PrepareTableChange(ctx, target.database, target.table_id,
                                    [&](const Row& row) { return Matches(ctx, where, row); });
  std::vector<Row> after = table.rows;
  std::vector<size_t> changed;
  for (size_t i = 0; i < after.size(); ++i) {
    Row& row = after[i];
    if (!Matches(ctx, where, row)) continue;
    const Row before = row;
    EvalEnv env{ctx, &before};
    for (const auto& [column, value] : assignments) {
      const ColumnInfo& to = target.columns[static_cast<size_t>(column)];
      row[static_cast<size_t>(column)] = Store(ctx, target, value->Eval(env), value->Type(), to, "UPDATE");
    }
    changed.push_back(i);
  }
  // Only a change of a key column can make two keys one.
  const bool keys_change = std::any_of(assignments.begin(), assignments.end(), [&](const auto& a) {
    return std::find(target.primary_key.begin(), target.primary_key.end(), a.first) != target.primary_key.end();
  });
  if (keys_change) CheckPrimaryKey(ctx, target, after);
  for (size_t i : changed) KeepRowChange(ctx, target.database, table, &table.rows[i], &after[i], i);
  table.rows = std::move(after);
  ctx.last_count = static_cast<int64_t>(changed.size());
}

// DELETE [FROM] table [WHERE condition]
void Delete(Context& ctx, Parser& p) {
  p.AcceptKeyword("FROM");
  const Target target = OpenTarget(ctx, p, "DELETE");
  const ExprPtr where = ParseWhere(ctx, p, target);
  Table& table = PrepareTableChange(ctx, target.database, target.table_id,
                                    [&](const Row& row) { return Matches(ctx, where, row); });
  std::vector<size_t> kept, deleted;
  for (size_t i = 0; i < table.rows.size(); ++i)
    (Matches(ctx, where, table.rows[i]) ? deleted : kept).push_back(i);
  // Each deleted row's position counts the rows before it that stay.
  for (size_t n = 0; n < deleted.size(); ++n)
    KeepRowChange(ctx, target.database, table, &table.rows[deleted[n]], nullptr, deleted[n] - n);
  std::vector<Row> rows;
  rows.reserve(kept.size());
  for (size_t i : kept) rows.push_back(std::move(table.rows[i]));
  ctx.last_count = static_cast<int64_t>(deleted.size());
  table.rows = std::move(rows);
}

const StatementRegistration insert_statement("INSERT", Insert);
const StatementRegistration update_statement("UPDATE", Update);
const StatementRegistration delete_statement("DELETE", Delete);

}  // namespace

}  // namespace msde
