// Column references resolved against the tables of a query and the queries around it.
#include "engine/Expression.h"
#include "engine/Values.h"

namespace msde {
namespace {

bool QualifiedBy(const ScopeTable& table, const std::string& qualifier) {
  // An aliased table is named by its alias only, as SQL Server binds it.
  return EqualNoCase(qualifier, table.alias.empty() ? table.name : table.alias);
}

std::optional<size_t> ColumnOfTable(const ScopeTable& table, const std::string& name) {
  if (table.columns == nullptr) return std::nullopt;
  for (size_t i = 0; i < table.columns->size(); ++i)
    if (EqualNoCase((*table.columns)[i].name, name)) return i;
  return std::nullopt;
}

ColumnBinding BindingOf(int level, const ScopeTable& table, size_t column) {
  return ColumnBinding{level, table.offset + column, (*table.columns)[column]};
}

}  // namespace

Scope::Scope(std::string name, std::string alias, const std::vector<ColumnInfo>* columns) {
  tables.push_back(ScopeTable{std::move(name), std::move(alias), columns, 0});
}

std::optional<ColumnBinding> ResolveColumn(Context& ctx, const Scope& scope, const std::string& qualifier,
                                           const std::string& name, bool quoted) {
  int level = 0;
  for (const Scope* s = &scope; s != nullptr; s = s->outer, ++level) {
    if (!qualifier.empty()) {
      for (const ScopeTable& table : s->tables) {
        if (!QualifiedBy(table, qualifier)) continue;
        if (auto column = ColumnOfTable(table, name)) return BindingOf(level, table, *column);
        ctx.Fail(207, 16, 3, "Invalid column name '" + name + "'.");
      }
      continue;
    }
    const ScopeTable* found = nullptr;
    size_t column = 0;
    for (const ScopeTable& table : s->tables) {
      if (auto c = ColumnOfTable(table, name)) {
        if (found != nullptr) ctx.Fail(209, 16, 1, "Ambiguous column name '" + name + "'.");
        found = &table;
        column = *c;
      }
    }
    if (found != nullptr) return BindingOf(level, *found, column);
  }
  if (!qualifier.empty()) {
    if (ctx.model.server.Is2005())
      ctx.Fail(4104, 16, 1, "The multi-part identifier \"" + qualifier + "." + name + "\" could not be bound.");
    ctx.Fail(107, 16, 3, "The column prefix '" + qualifier +
                             "' does not match with a table name or alias name used in the query.");
  }
  if (quoted) return std::nullopt;
  ctx.Fail(207, 16, 3, "Invalid column name '" + name + "'.");
}

}  // namespace msde
