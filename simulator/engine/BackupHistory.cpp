// msdb's backup history: backupset (one row a backup, with backup_finish_date) and
// backupmediafamily (the file each was written to), in SQL Server 2000's columns. The rows
// come from the model's backup records (Model::backups), which every BACKUP adds to.
#include "engine/SystemTables.h"
#include "engine/Values.h"

namespace msde {
namespace {

using T = SqlType;

ColumnInfo Numeric(const char* name, int precision) {
  ColumnInfo c = Column(name, T::Numeric);
  c.precision = precision;
  return c;
}

// A stable uniqueidentifier text for a record, from its number.
std::string Uuid(int64_t seed, int kind) {
  char text[40];
  std::snprintf(text, sizeof text, "%08llX-%04X-4%03X-8%03X-%012llX", static_cast<unsigned long long>(seed * 2654435761LL) & 0xFFFFFFFFULL,
                static_cast<unsigned>(kind), static_cast<unsigned>(seed & 0xFFF), static_cast<unsigned>(kind * 7 & 0xFFF),
                static_cast<unsigned long long>(seed) * 0x9E3779B1ULL & 0xFFFFFFFFFFFFULL);
  return text;
}

void BackupSetTable(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("backup_set_id", T::Int, 0, false), Column("backup_set_uuid", T::UniqueIdentifier, 0, false),
                 Column("media_set_id", T::Int, 0, false), Column("first_family_number", T::TinyInt),
                 Column("first_media_number", T::SmallInt), Column("last_family_number", T::TinyInt),
                 Column("last_media_number", T::SmallInt), Column("catalog_family_number", T::TinyInt),
                 Column("catalog_media_number", T::SmallInt), Column("position", T::Int),
                 Column("expiration_date", T::DateTime), Column("software_vendor_id", T::Int),
                 Column("name", T::NVarChar, 128), Column("description", T::NVarChar, 255),
                 Column("user_name", T::NVarChar, 128), Column("software_major_version", T::TinyInt),
                 Column("software_minor_version", T::TinyInt), Column("software_build_version", T::SmallInt),
                 Column("time_zone", T::SmallInt), Column("mtf_minor_version", T::TinyInt),
                 Numeric("first_lsn", 25), Numeric("last_lsn", 25), Numeric("checkpoint_lsn", 25),
                 Numeric("database_backup_lsn", 25), Column("database_creation_date", T::DateTime),
                 Column("backup_start_date", T::DateTime), Column("backup_finish_date", T::DateTime),
                 Column("type", T::Char, 1), Column("sort_order", T::SmallInt), Column("code_page", T::SmallInt),
                 Column("compatibility_level", T::TinyInt), Column("database_version", T::Int),
                 Numeric("backup_size", 20), Column("database_name", T::NVarChar, 128),
                 Column("server_name", T::NVarChar, 128), Column("machine_name", T::NVarChar, 128),
                 Column("flags", T::Int), Column("unicode_locale", T::Int), Column("unicode_compare_style", T::Int),
                 Column("collation_name", T::NVarChar, 128)};
  const ServerInfo& s = ctx.model.server;
  const std::string machine = s.machine.empty() ? s.name : s.machine;
  const std::string server = s.instance.empty() ? machine : machine + "\\" + s.instance;
  const bool is2005 = s.Is2005();
  int64_t id = 0;
  for (const BackupRecord& b : ctx.model.backups) {
    ++id;
    auto text = [](const std::string& t) { return t.empty() ? Value{} : Value{t}; };
    out.owned.push_back({id, Uuid(id, 1), id, int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1}, int64_t{1},
                         int64_t{b.position}, Value{}, int64_t{4608}, text(b.name), text(b.description), b.user,
                         int64_t{is2005 ? 9 : 8}, int64_t{0}, int64_t{is2005 ? 1399 : 2039}, int64_t{4},
                         int64_t{1}, std::to_string(b.first_lsn), std::to_string(b.last_lsn),
                         std::to_string(b.first_lsn), std::string("0"), b.database_created, b.started, b.finished,
                         std::string(1, b.type), int64_t{52}, int64_t{1250}, int64_t{b.compatibility},
                         int64_t{b.database_version}, std::to_string(b.size_bytes), b.database, server, machine,
                         int64_t{0}, int64_t{1045}, int64_t{196609}, s.collation});
  }
}

void BackupMediaFamilyTable(Context& ctx, Database&, RowSource& out) {
  out.columns = {Column("media_set_id", T::Int, 0, false), Column("family_sequence_number", T::TinyInt, 0, false),
                 Column("media_family_id", T::UniqueIdentifier), Column("media_count", T::Int),
                 Column("logical_device_name", T::NVarChar, 128), Column("physical_device_name", T::NVarChar, 260),
                 Column("device_type", T::TinyInt), Column("physical_block_size", T::Int)};
  int64_t id = 0;
  for (const BackupRecord& b : ctx.model.backups) {
    ++id;
    out.owned.push_back({id, int64_t{1}, Uuid(id, 2), int64_t{1}, Value{}, b.device, int64_t{2}, int64_t{512}});
  }
}

const SystemTableRegistration backupset("backupset", "msdb", BackupSetTable);
const SystemTableRegistration backupmediafamily("backupmediafamily", "msdb", BackupMediaFamilyTable);

}  // namespace
}  // namespace msde
