#include "engine/ReadDamage.h"

#include <cstdio>
#include <string>

#include "engine/ErrorLog.h"

namespace msde {
namespace {

std::string FileOfPage(const Database& db, int fileid) {
  for (const DbFile& f : db.files)
    if (f.fileid == fileid) return f.filename;
  return db.PrimaryFile();
}

std::string ReadErrorText(const Model& model, const Database& db, const DamageMark& d) {
  char offset[24];
  std::snprintf(offset, sizeof offset, "0x%016llx", static_cast<unsigned long long>(d.page) * 8192ULL);
  const std::string file = FileOfPage(db, d.page_file);
  const std::string page = "(" + std::to_string(d.page_file) + ":" + std::to_string(d.page) + ")";
  if (!model.server.Is2005())
    return "I/O error (torn page) detected during read at offset " + std::string(offset) + " in file '" + file + "'.";
  return "SQL Server detected a logical consistency-based I/O error: torn page (expected signature: 0x0; actual "
         "signature: 0x5555500). It occurred during a read of page " + page + " in database ID " +
         std::to_string(db.dbid) + " at offset " + offset + " in file '" + file +
         "'.  Additional messages in the SQL Server error log or system event log may provide more detail. This is "
         "a severe error condition that threatens database integrity and must be corrected immediately. Complete a "
         "full database consistency check (DBCC CHECKDB). This error can be caused by many factors; for more "
         "information, see SQL Server Books Online.";
}

}  // namespace

void CheckReadablePages(Context& ctx, const Database& db, const Table& table) {
  for (const DamageMark& d : db.damage) {
    if (d.object_id != table.id || d.index_id > 1 || (d.error != 823 && d.error != 824)) continue;
    const int number = ctx.model.server.Is2005() ? 824 : 823;
    const std::string text = d.text.empty() ? ReadErrorText(ctx.model, db, d) : d.text;
    const std::string source = SpidSource(ctx.session.spid);
    LogEvent(ctx.model, source, "Error: " + std::to_string(number) + ", Severity: 24, State: 2.");
    LogEvent(ctx.model, source, text);
    ctx.Fail(number, 24, 2, text, true);
  }
}

}  // namespace msde
