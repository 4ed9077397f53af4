// sp_server_info and sp_MSgetversion: what the server says about itself to clients that ask
// for the engine's version, its character set and its collation.
#include <string>
#include <utility>
#include <vector>

#include "engine/Statements.h"

namespace msde {
namespace {

// The attributes in SQL Server 2000's order; the eleventh (COLLATION_SEQ) is the one clients
// parse for the character set and collation.
std::vector<std::pair<int, std::pair<std::string, std::string>>> Attributes(const ServerInfo& s) {
  const bool case_sensitive = s.collation.find("_CS") != std::string::npos ||
                              s.collation.find("_BIN") != std::string::npos;
  return {
      {1, {"DBMS_NAME", "Microsoft SQL Server"}},
      {2, {"DBMS_VER", s.version_text.substr(0, 255)}},
      {10, {"OWNER_TERM", "owner"}},
      {11, {"TABLE_TERM", "table"}},
      {12, {"MAX_OWNER_NAME_LENGTH", "128"}},
      {13, {"TABLE_LENGTH", "128"}},
      {14, {"MAX_QUAL_LENGTH", "128"}},
      {15, {"COLUMN_LENGTH", "128"}},
      {16, {"IDENTIFIER_CASE", case_sensitive ? "SENSITIVE" : "MIXED"}},
      {17, {"TX_ISOLATION", "2"}},
      {18, {"COLLATION_SEQ", s.collation_seq}},
      {19, {"SAVEPOINT_SUPPORT", "Y"}},
      {20, {"MULTI_RESULT_SETS", "Y"}},
      {22, {"ACCESSIBLE_TABLES", "Y"}},
      {100, {"USERID_LENGTH", "128"}},
      {101, {"QUALIFIER_TERM", "database"}},
      {102, {"NAMED_TRANSACTIONS", "Y"}},
      {103, {"SPROC_AS_LANGUAGE", "Y"}},
      {104, {"ACCESSIBLE_SPROC", "Y"}},
      {105, {"MAX_INDEX_COLS", "16"}},
      {106, {"RENAME_TABLE", "Y"}},
      {107, {"RENAME_COLUMN", "Y"}},
      {108, {"DROP_COLUMN", "Y"}},
      {109, {"INCREASE_COLUMN_LENGTH", "Y"}},
      {110, {"DDL_IN_TRANSACTION", "Y"}},
      {111, {"DESCENDING_INDEXES", "Y"}},
      {112, {"SP_RENAME", "Y"}},
      {113, {"REMOTE_SPROC", "Y"}},
      {500, {"SYS_SPROC_VERSION", s.product_version}},
  };
}

void ServerInfoProc(Context& ctx, const ProcArgs& args) {
  const std::optional<int64_t> only = args.Int("@attribute_id");
  ResultSet result;
  result.columns = {{"attribute_id", SqlType::Int, 0, 0, 0, false},
                    {"attribute_name", SqlType::VarChar, 60, 0, 0, false},
                    {"attribute_value", SqlType::VarChar, 255, 0, 0, true}};
  for (auto& [id, entry] : Attributes(ctx.model.server)) {
    if (only && *only != id) continue;
    result.rows.push_back({int64_t{id}, entry.first, entry.second});
  }
  ctx.SendResult(result);
}

// The product version first: clients tell SQL Server 2005 ("9.") from 2000 ("8.") by it.
void GetVersionProc(Context& ctx, const ProcArgs&) {
  ResultSet result;
  result.columns = {{"Character_Value", SqlType::VarChar, 80, 0, 0, true},
                    {"", SqlType::Int, 0, 0, 0, true},
                    {"", SqlType::Int, 0, 0, 0, true}};
  result.rows.push_back({ctx.model.server.product_version, int64_t{1}, int64_t{3}});
  ctx.SendResult(result);
}

const ProcedureRegistration server_info("sp_server_info", {{"@attribute_id"}}, ServerInfoProc);
const ProcedureRegistration get_version("sp_MSgetversion", {}, GetVersionProc);

}  // namespace
}  // namespace msde
