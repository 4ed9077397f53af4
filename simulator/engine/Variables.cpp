#include "engine/Variables.h"

#include <memory>

#include "engine/Expression.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"
#include "VariantBase.h"

namespace msde {

Variable* BatchState::Find(const std::string& name) {
  auto it = variables_.find(UpperText(name));
  return it == variables_.end() ? nullptr : &it->second.variable;
}

Variable& BatchState::Declare(Context& ctx, const std::string& name, const ColumnInfo& type,
                              size_t position) {
  auto [it, added] = variables_.try_emplace(UpperText(name));
  if (!added && it->second.position != position)
    ctx.Fail(134, 15, 1, "The variable name '" + name +
                             "' has already been declared. Variable names must be unique within a query batch or stored procedure.",
             true);
  if (added) {
    it->second.variable.type = type;
    it->second.variable.type.name.clear();
    it->second.variable.type.nullable = true;
    it->second.position = position;
  }
  return it->second.variable;
}

Variable* Context::FindVariable(const std::string& name) {
  return batch == nullptr ? nullptr : batch->Find(name);
}

void AssignVariable(Context& ctx, Variable& v, const Value& value, const ColumnInfo& from) {
  if (v.type.type == SqlType::Variant) {
    // A sql_variant holds the value as it came, its type the base type it reports.
    v.value = value;
    v.type.variant_base = IsNull(value) ? nullptr : std::make_shared<const ColumnInfo>(VariantBaseOf(from, value));
    return;
  }
  v.value = ConvertValue(ctx, value, from, v.type, -1);
}

ColumnInfo ParseDeclaredType(Parser& p) {
  const bool sized = p.Peek(1).IsSymbol("(");
  ColumnInfo type = ParseTypeName(p);
  const bool text_like = (IsCharacterType(type.type) && type.type != SqlType::Text && type.type != SqlType::NText) ||
                         type.type == SqlType::Binary || type.type == SqlType::VarBinary;
  if (text_like && !sized && type.length == 30) type.length = 1;
  return type;
}

namespace {

Variable& Undeclared(Context& ctx, const std::string& name) {
  ctx.Fail(137, 15, 2, "Must declare the variable '" + name + "'.", true);
}

// DECLARE @a int, @b varchar(10) [= value]: the initialiser is SQL Server 2005's; 2000
// refuses it with 139.
void Declare(Context& ctx, Parser& p) {
  if (ctx.batch == nullptr) p.FailHere();
  do {
    if (p.Peek().kind != TokenKind::Variable || p.Peek().text.rfind("@@", 0) == 0) p.FailHere();
    const Token name = p.Next();
    p.AcceptKeyword("AS");
    if (p.Peek().IsWord("TABLE") || p.Peek().IsWord("CURSOR")) p.FailHere();
    const ColumnInfo type = ParseDeclaredType(p);
    Variable& v = ctx.batch->Declare(ctx, name.text, type, name.begin);
    if (p.Peek().IsSymbol("=")) {
      if (!ctx.model.server.Is2005())
        ctx.Fail(139, 15, 1, "Cannot assign a default value to a local variable.", true);
      p.Next();
      ExprPtr value = ParseExpression(p);
      value->Bind(ctx, Scope{});
      EvalEnv env{ctx, nullptr};
      AssignVariable(ctx, v, value->Eval(env), value->Type());
    }
  } while (p.AcceptSymbol(","));
  p.ExpectEnd();
}

const StatementRegistration declare_statement("DECLARE", Declare);

}  // namespace

void SetVariable(Context& ctx, Parser& p) {
  const Token name = p.Next();
  Variable* v = ctx.FindVariable(name.text);
  if (v == nullptr) Undeclared(ctx, name.text);
  p.ExpectSymbol("=");
  ExprPtr value = ParseExpression(p);
  p.ExpectEnd();
  value->Bind(ctx, Scope{});
  EvalEnv env{ctx, nullptr};
  AssignVariable(ctx, *v, value->Eval(env), value->Type());
  ctx.rowcount = 1;  // a simple assignment counts one row
}

}  // namespace msde
