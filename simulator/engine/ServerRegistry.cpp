// xp_regread and xp_instance_regread for the values of the server's own registry key that
// clients read to learn where the server keeps its files: the data root (SQLDataRoot), the
// default backup directory (BackupDirectory), the default data directory (DefaultData) and the
// TCP port of the server's network library (SuperSocketNetLib\Tcp, TcpPort).
// The instance form maps "MSSQLServer" onto the instance's key, so both answer alike here.
#include <string>

#include "engine/Statements.h"

namespace msde {
namespace {

std::string WithoutTrailingSlash(std::string key) {
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return key;
}

// The value, or nothing for one this server does not hold.
std::optional<std::string> RegistryValue(const Model& model, const std::string& root,
                                         const std::string& key, const std::string& value) {
  if (!EqualNoCase(root, "HKEY_LOCAL_MACHINE")) return std::nullopt;
  const std::string k = Upper(WithoutTrailingSlash(key));
  const std::string v = Upper(value);
  if (k == "SOFTWARE\\MICROSOFT\\MSSQLSERVER\\SETUP" && v == "SQLDATAROOT")
    return model.server.data_root;
  if (k == "SOFTWARE\\MICROSOFT\\MSSQLSERVER\\MSSQLSERVER" && v == "BACKUPDIRECTORY")
    return model.server.BackupDirectory();
  if (k == "SOFTWARE\\MICROSOFT\\MSSQLSERVER\\MSSQLSERVER" && v == "DEFAULTDATA")
    return model.server.DataDirectory();
  // The port the server's network library is configured with, as an installation leaves it
  // (the simulator itself listens where it was told).
  if (k == "SOFTWARE\\MICROSOFT\\MSSQLSERVER\\MSSQLSERVER\\SUPERSOCKETNETLIB\\TCP" && v == "TCPPORT")
    return std::string("1433");
  return std::nullopt;
}

// One row (Value, Data); a value that is not there gives no row, as the procedure answers
// for a missing value.
void RegRead(Context& ctx, const ProcArgs& args) {
  const std::string value = args.Text("@value_name");
  const auto data =
      RegistryValue(ctx.model, args.Text("@rootkey"), args.Text("@key"), value);
  ResultSet r;
  ColumnInfo name_column{"Value", SqlType::NVarChar, 128};
  ColumnInfo data_column{"Data", SqlType::NVarChar, 512};
  r.columns = {name_column, data_column};
  if (data) r.rows.push_back({value, *data});
  ctx.SendResult(r);
}

const std::vector<ProcParam> kParams = {
    {"@rootkey", true}, {"@key", true}, {"@value_name", true}, {"@value"}};
const ProcedureRegistration regread("xp_regread", kParams, RegRead);
const ProcedureRegistration instance_regread("xp_instance_regread", kParams, RegRead);

}  // namespace
}  // namespace msde
