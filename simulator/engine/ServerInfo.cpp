// sp_server_info, sp_MSgetversion and xp_msver: what the server says about itself to clients
// that ask for the engine's version, its character set and collation, or its machine.
#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
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

// xp_msver's rows in SQL Server 2000's order: Index, Name, Internal_Value, Character_Value.
// PhysicalMemory (19) gives megabytes, with the bytes in brackets in its text.
void MsVerProc(Context& ctx, const ProcArgs& args) {
  const ServerInfo& s = ctx.model.server;
  const std::string processors = std::to_string(s.processor_count);
  const Value none;
  int64_t major = 8, minor = 0;
  if (std::sscanf(s.product_version.c_str(), "%ld.%ld", &major, &minor) < 1) major = 8;
  const std::vector<std::tuple<int64_t, std::string, Value, Value>> rows = {
      {1, "ProductName", none, std::string("Microsoft SQL Server")},
      {2, "ProductVersion", (major << 16) | minor, s.product_version},
      {3, "Language", int64_t{1045}, std::string("Polski")},
      {4, "Platform", none, std::string("NT INTEL X86")},
      {5, "Comments", none, std::string("NT INTEL X86")},
      {6, "CompanyName", none, std::string("Microsoft Corporation")},
      {7, "FileDescription", none, std::string("SQL Server Windows NT")},
      {8, "FileVersion", none, std::string("2000.080.2039.00")},
      {9, "InternalName", none, std::string("SQLSERVR")},
      {10, "LegalCopyright", none, std::string("© 1988-2003 Microsoft Corp. All rights reserved.")},
      {11, "LegalTrademarks", none, std::string("Microsoft is a registered trademark of Microsoft Corporation.")},
      {12, "OriginalFilename", none, std::string("SQLSERVR.EXE")},
      {13, "PrivateBuild", none, none},
      {14, "SpecialBuild", int64_t{133627904}, none},
      {15, "WindowsVersion", int64_t{170393861}, std::string("5.1 (2600)")},
      {16, "ProcessorCount", s.processor_count, processors},
      {17, "ProcessorActiveMask", int64_t{(int64_t{1} << std::min<int64_t>(s.processor_count, 31)) - 1}, none},
      {18, "ProcessorType", int64_t{586}, std::string("PROCESSOR_INTEL_PENTIUM")},
      {19, "PhysicalMemory", s.physical_memory_mb,
       std::to_string(s.physical_memory_mb) + " (" + std::to_string(s.physical_memory_mb << 20) + ")"},
      {20, "Product ID", none, none},
  };
  const std::string only = args.Text("@optname");
  ResultSet result;
  result.columns = {{"Index", SqlType::SmallInt, 0, 0, 0, false},
                    {"Name", SqlType::NVarChar, 128, 0, 0, false},
                    {"Internal_Value", SqlType::Int, 0, 0, 0, true},
                    {"Character_Value", SqlType::NVarChar, 255, 0, 0, true}};
  for (const auto& [index, name, internal, text] : rows) {
    if (!only.empty() && !EqualNoCase(only, name)) continue;
    result.rows.push_back({index, name, internal, text});
  }
  ctx.SendResult(result);
}

const ProcedureRegistration server_info("sp_server_info", {{"@attribute_id"}}, ServerInfoProc);
const ProcedureRegistration get_version("sp_MSgetversion", {}, GetVersionProc);
const ProcedureRegistration ms_ver("xp_msver", {{"@optname"}}, MsVerProc);

}  // namespace
}  // namespace msde
