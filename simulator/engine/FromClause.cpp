#include "engine/FromClause.h"

#include "engine/Transactions.h"
#include "engine/Values.h"

namespace msde {
namespace {

bool EndsTableName(const Token& t) {
  static const char* kWords[] = {"WHERE", "ORDER", "GROUP", "HAVING", "UNION", "INTO", "COMPUTE", "FOR",
                                 "OPTION", "WITH", "JOIN", "INNER", "LEFT", "RIGHT", "FULL", "CROSS",
                                 "OUTER", "ON", "SELECT"};
  if (!t.IsName()) return true;
  for (const char* w : kWords)
    if (t.IsWord(w)) return true;
  return false;
}

// A dirty read's table is opened under READ UNCOMMITTED, the session's level restored after.
class ReadLevelGuard {
 public:
  ReadLevelGuard(Session& session, bool dirty) : session_(session), saved_(session.read_uncommitted) {
    session_.read_uncommitted = saved_ || dirty;
  }
  ~ReadLevelGuard() { session_.read_uncommitted = saved_; }
  ReadLevelGuard(const ReadLevelGuard&) = delete;
  ReadLevelGuard& operator=(const ReadLevelGuard&) = delete;

 private:
  Session& session_;
  bool saved_;
};

// Whether the rows of this table come out even where the other side has no match.
bool KeepsLeft(JoinKind j) { return j == JoinKind::Left || j == JoinKind::Full; }
bool KeepsRight(JoinKind j) { return j == JoinKind::Right || j == JoinKind::Full; }

std::optional<JoinKind> AcceptJoin(Parser& p) {
  if (p.AcceptSymbol(",")) return JoinKind::Cross;
  JoinKind kind;
  if (p.AcceptKeyword("CROSS")) kind = JoinKind::Cross;
  else if (p.AcceptKeyword("INNER")) kind = JoinKind::Inner;
  else if (p.AcceptKeyword("LEFT")) kind = JoinKind::Left;
  else if (p.AcceptKeyword("RIGHT")) kind = JoinKind::Right;
  else if (p.AcceptKeyword("FULL")) kind = JoinKind::Full;
  else if (p.Peek().IsWord("JOIN")) kind = JoinKind::Inner;
  else return std::nullopt;
  if (kind == JoinKind::Left || kind == JoinKind::Right || kind == JoinKind::Full) p.AcceptKeyword("OUTER");
  p.ExpectKeyword("JOIN");
  return kind;
}

// "(select ...) as t(x, y)": the list renames the derived table's columns, one name each.
void NameDerivedColumns(Context& ctx, const std::string& alias, const std::vector<std::string>& names,
                        std::vector<ColumnInfo>& columns) {
  if (names.empty()) return;
  if (names.size() < columns.size())
    ctx.Fail(8158, 16, 1, "'" + alias + "' has more columns than were specified in the column list.", true);
  if (names.size() > columns.size())
    ctx.Fail(8159, 16, 1, "'" + alias + "' has fewer columns than were specified in the column list.", true);
  for (size_t i = 0; i < names.size(); ++i) columns[i].name = names[i];
}

}  // namespace

void FromClause::ParseTable(Parser& p, JoinKind join) {
  Source s;
  s.join = join;
  if (p.Peek().IsSymbol("(") && !p.Peek(1).IsWord("SELECT")) {
    p.Next();
    s.nested = std::make_unique<FromClause>();
    s.nested->Parse(p);
    p.ExpectSymbol(")");
  } else if (p.AcceptSymbol("(")) {
    p.ExpectKeyword("SELECT");
    s.derived = ParseQueryAfterSelect(p);
    p.ExpectSymbol(")");
    p.AcceptKeyword("AS");
    s.alias = p.ExpectName();  // a derived table must be named
    if (p.AcceptSymbol("(")) {
      do s.column_names.push_back(p.ExpectName());
      while (p.AcceptSymbol(","));
      p.ExpectSymbol(")");
    }
  } else {
    s.name = p.ExpectQualifiedName();
    if (p.AcceptKeyword("AS")) s.alias = p.ExpectName();
    else if (!EndsTableName(p.Peek())) s.alias = p.ExpectName();
    if (p.AcceptKeyword("WITH") || p.Peek().IsSymbol("(")) {
      // Of the table hints, NOLOCK and READUNCOMMITTED read the table as READ UNCOMMITTED
      // does; the others change nothing here.
      p.ExpectSymbol("(");
      for (int depth = 0; !p.AtEnd() && (depth > 0 || !p.Peek().IsSymbol(")"));) {
        const Token hint = p.Next();
        if (hint.IsWord("NOLOCK") || hint.IsWord("READUNCOMMITTED")) s.dirty_read = true;
        depth += hint.IsSymbol("(") ? 1 : hint.IsSymbol(")") ? -1 : 0;  // INDEX(1) and its kind
      }
      p.ExpectSymbol(")");
    }
  }
  if (join != JoinKind::First && join != JoinKind::Cross) {
    p.ExpectKeyword("ON");
    s.on = ParseExpression(p);
  }
  sources_.push_back(std::move(s));
}

void FromClause::Parse(Parser& p) {
  ParseTable(p, JoinKind::First);
  while (auto join = AcceptJoin(p)) ParseTable(p, *join);
}

void FromClause::Bind(Context& ctx, Scope& scope) {
  size_t width = 0;
  for (Source& s : sources_) {
    if (s.derived) {
      s.derived->Bind(ctx, nullptr);
      s.rows.name = s.alias;
      s.rows.columns = s.derived->Columns();
      NameDerivedColumns(ctx, s.alias, s.column_names, s.rows.columns);
      for (size_t i = 0; i < s.rows.columns.size(); ++i)
        if (s.rows.columns[i].name.empty())
          ctx.Fail(8155, 16, 2, "No column was specified for column " + std::to_string(i + 1) + " of '" +
                                    s.alias + "'.", true);
      s.derived->Run(ctx, nullptr, [&](const Row& row) {
        s.rows.owned.push_back(row);
        return true;
      });
    } else if (s.nested) {
      s.nested_scope.outer = nullptr;
      s.nested->Bind(ctx, s.nested_scope);
      for (const ScopeTable& t : s.nested_scope.tables)
        s.rows.columns.insert(s.rows.columns.end(), t.columns->begin(), t.columns->end());
      s.nested->Run(ctx, nullptr, [&](const Row& row) {
        s.rows.owned.push_back(row);
        return true;
      });
    } else {
      ReadLevelGuard level(ctx.session, s.dirty_read);
      s.rows = OpenTable(ctx, s.name);
    }
    s.offset = width;
    width += s.rows.columns.size();
  }
  StartImplicitTransaction(ctx);
  // The ON condition of a join sees the tables up to its own.
  for (Source& s : sources_) {
    if (s.nested) {
      for (const ScopeTable& t : s.nested_scope.tables)
        scope.tables.push_back(ScopeTable{t.name, t.alias, t.columns, s.offset + t.offset});
    } else {
      scope.tables.push_back(ScopeTable{s.rows.name, s.alias, &s.rows.columns, s.offset});
    }
    if (s.on) s.on->Bind(ctx, scope);
  }
}

bool FromClause::Run(Context& ctx, const EvalEnv* outer, const RowConsumer& consume) const {
  // The rows of a RIGHT or FULL join's table that some row matched; the others come out
  // once every row of the tables before it has been tried.
  std::vector<std::vector<bool>> matched(sources_.size());
  for (size_t k = 0; k < sources_.size(); ++k)
    if (KeepsRight(sources_[k].join)) matched[k].assign(sources_[k].rows.Rows().size(), false);
  Row row;
  if (!Enumerate(ctx, outer, 0, row, matched, consume)) return false;
  for (size_t k = 1; k < sources_.size(); ++k) {
    if (!KeepsRight(sources_[k].join)) continue;
    const std::vector<Row>& rows = sources_[k].rows.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
      if (matched[k][i]) continue;
      row.assign(sources_[k].offset, Value{});
      row.insert(row.end(), rows[i].begin(), rows[i].end());
      if (!Enumerate(ctx, outer, k + 1, row, matched, consume)) return false;
    }
  }
  return true;
}

bool FromClause::Enumerate(Context& ctx, const EvalEnv* outer, size_t level, Row& row,
                           std::vector<std::vector<bool>>& matched, const RowConsumer& consume) const {
  if (level == sources_.size()) {
    // A join can run for hours; an attention or a KILL ends it between two rows.
    if (ctx.session.cancel_requested || ctx.session.killed) throw BatchCancelled{};
    return consume(row);
  }
  const Source& s = sources_[level];
  const std::vector<Row>& rows = s.rows.Rows();
  bool any = false;
  for (size_t i = 0; i < rows.size(); ++i) {
    row.resize(s.offset);
    row.insert(row.end(), rows[i].begin(), rows[i].end());
    if (s.on) {
      EvalEnv env{ctx, &row, outer};
      if (!IsTrue(s.on->Eval(env))) continue;
    }
    any = true;
    if (!matched[level].empty()) matched[level][i] = true;
    if (!Enumerate(ctx, outer, level + 1, row, matched, consume)) return false;
  }
  if (!any && KeepsLeft(s.join)) {
    row.resize(s.offset);
    row.resize(s.offset + s.rows.columns.size());
    if (!Enumerate(ctx, outer, level + 1, row, matched, consume)) return false;
  }
  row.resize(s.offset);
  return true;
}

}  // namespace msde
