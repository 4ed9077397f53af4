// xp_fixeddrives: the server's fixed drives and the megabytes free on each. A drive is the
// disk of the data and backup directories (C:); its free space is the real free space of the
// directory behind it, so a filling disk of this machine shows as a filling drive.
#include <sys/statvfs.h>

#include <map>
#include <string>

#include "engine/Statements.h"

namespace msde {
namespace {

// Megabytes a non-root user may still write below `dir`; 0 when it cannot be asked.
int64_t FreeMegabytes(const std::string& dir) {
  struct statvfs info {};
  if (::statvfs(dir.c_str(), &info) != 0) return 0;
  return static_cast<int64_t>(static_cast<unsigned long long>(info.f_bavail) * info.f_frsize / (1024 * 1024));
}

void FixedDrives(Context& ctx, const ProcArgs&) {
  std::map<std::string, std::string> drives;  // letter to the directory behind it
  for (const DiskRoot& root : ctx.model.Roots()) {
    if (root.unc || root.components.empty()) continue;
    const std::string& first = root.components.front();
    if (first.size() == 2 && first[1] == ':') drives.emplace(Upper(first.substr(0, 1)), root.local);
  }
  ResultSet result;
  result.columns = {{"drive", SqlType::Char, 1, 0, 0, true}, {"MB free", SqlType::Int, 0, 0, 0, true}};
  for (const auto& [letter, dir] : drives) result.rows.push_back({letter, FreeMegabytes(dir)});
  ctx.SendResult(result);
}

const ProcedureRegistration fixed_drives("xp_fixeddrives", {}, FixedDrives);

}  // namespace
}  // namespace msde
