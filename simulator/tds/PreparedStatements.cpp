#include "tds/PreparedStatements.h"

#include <algorithm>

namespace msde::tds {
namespace {

constexpr size_t kMaxPrepared = 4096;  // per connection: a client that never unprepares

Message CallError(int number, const std::string& text) {
  Message m;
  m.number = number;
  m.severity = 16;
  m.text = text;
  return m;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

const std::string* Text(const std::vector<RpcParam>& params, size_t i) {
  return i < params.size() && params[i].text ? &*params[i].text : nullptr;
}

std::optional<int32_t> Integer(const std::vector<RpcParam>& params, size_t i) {
  if (i < params.size() && params[i].integer) return static_cast<int32_t>(*params[i].integer);
  return std::nullopt;
}

ReturnValue HandleValue(const std::string& name, int32_t handle) {
  ColumnInfo type;
  type.type = SqlType::Int;
  return ReturnValue{0, name, type, int64_t{handle}};
}

}  // namespace

std::string PreparedStatements::Bind(const std::string& statement,
                                     const std::vector<std::string>& names,
                                     const std::vector<RpcParam>& params, size_t first) {
  std::vector<Substitution> values;
  for (size_t i = first; i < params.size(); ++i) {
    const std::string& name = !params[i].name.empty()    ? params[i].name
                              : i - first < names.size() ? names[i - first]
                                                         : std::string();
    if (!name.empty()) values.push_back({name, params[i].typed, params[i].literal});
  }
  return SubstituteParameters(statement, values);
}

std::optional<int32_t> PreparedStatements::Keep(Prepared prepared) {
  if (prepared_.size() >= kMaxPrepared) return std::nullopt;
  int32_t handle = next_handle_++;
  prepared_[handle] = std::move(prepared);
  return handle;
}

CallPlan PreparedStatements::Plan(const RpcCall& call) {
  CallPlan plan = PlanStatement(call);
  // Output parameters come back after the call. The statements this server runs assign no
  // variables, so each returns the value it came with, in its own type.
  const auto& p = call.params;
  const std::string procedure = Lower(call.procedure);
  const size_t first = procedure == "sp_executesql" ? 2
                       : procedure == "sp_prepexec" ? 3
                       : procedure == "sp_execute" ? 1
                       : procedure == "sp_prepare" || procedure == "sp_unprepare" ? p.size()
                                                                                   : 0;
  if (plan.sql)
    for (size_t i = first; i < p.size(); ++i)
      if (p[i].output && p[i].type.type != SqlType::Text && p[i].type.type != SqlType::NText)
        plan.outputs.push_back(ReturnValue{static_cast<uint16_t>(i), p[i].name, p[i].type, p[i].value});
  // sp_executesql and other procedures set their output parameters: they run as calls.
  const bool called = procedure != "sp_prepexec" && procedure != "sp_execute" && procedure != "sp_prepare" &&
                      procedure != "sp_unprepare";
  if (plan.sql && called && !plan.outputs.empty()) {
    ProcedureCall c;
    c.procedure = call.procedure;
    c.sql = *plan.sql;
    for (const RpcParam& param : p) c.args.push_back(CallArgument{param.name, param.type, param.value, param.output});
    plan.call = std::move(c);
  }
  return plan;
}

CallPlan PreparedStatements::PlanStatement(const RpcCall& call) {
  CallPlan plan;
  const auto& p = call.params;
  std::string procedure = Lower(call.procedure);
  if (procedure == "sp_executesql") {
    const std::string* statement = Text(p, 0);
    if (!statement) {
      plan.error = CallError(214,
                             "Procedure expects parameter '@statement' of type "
                             "'ntext/nchar/nvarchar'.");
      return plan;
    }
    const std::string* declarations = Text(p, 1);
    plan.sql =
        Bind(*statement,
             declarations ? DeclaredParameters(*declarations) : std::vector<std::string>{}, p, 2);
  } else if (procedure == "sp_prepexec" || procedure == "sp_prepare") {
    const std::string* statement = Text(p, 2);
    if (!statement) {
      plan.error = CallError(8180, "Statement(s) could not be prepared.");
      return plan;
    }
    const std::string* declarations = Text(p, 1);
    Prepared prepared{
        *statement, declarations ? DeclaredParameters(*declarations) : std::vector<std::string>{}};
    if (procedure == "sp_prepexec") plan.sql = Bind(prepared.statement, prepared.names, p, 3);
    auto handle = Keep(std::move(prepared));
    if (!handle) {
      plan.sql.reset();
      plan.error = CallError(701, "There is insufficient system memory to run this query.");
      return plan;
    }
    plan.outputs.push_back(HandleValue(p[0].name, *handle));
  } else if (procedure == "sp_execute" || procedure == "sp_unprepare") {
    auto handle = Integer(p, 0);
    auto it = handle ? prepared_.find(*handle) : prepared_.end();
    if (it == prepared_.end()) {
      plan.error = CallError(8179, "Could not find prepared statement with handle " +
                                       (handle ? std::to_string(*handle) : "NULL") + ".");
      return plan;
    }
    if (procedure == "sp_execute")
      plan.sql = Bind(it->second.statement, it->second.names, p, 1);
    else
      prepared_.erase(it);
  } else {
    std::string sql = "EXEC " + call.procedure;
    for (size_t i = 0; i < p.size(); ++i) {
      sql += i == 0 ? " " : ", ";
      if (!p[i].name.empty()) sql += p[i].name + " = ";
      sql += p[i].literal;
      if (p[i].output) sql += " OUTPUT";
    }
    plan.sql = sql;
  }
  return plan;
}

}  // namespace msde::tds
