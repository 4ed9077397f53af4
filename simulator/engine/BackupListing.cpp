#include "engine/BackupListing.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/SqlTime.h"

namespace msde {
namespace {

using T = SqlType;

ColumnInfo ListColumn(const char* name, SqlType type, int length = 0, int precision = 0) {
  ColumnInfo c;
  c.name = name;
  c.type = type;
  c.length = length;
  c.precision = precision;
  return c;
}

Value NullableText(const std::optional<std::string>& text) {
  return text ? Value{*text} : Value{std::monostate{}};
}

// A stable GUID text for the set's database, as BindingID and RecoveryForkID read.
std::string BackupGuid(const std::string& seed) {
  uint64_t h1 = 1469598103934665603ULL, h2 = 7809847782465536322ULL;
  for (unsigned char c : seed) {
    h1 = (h1 ^ c) * 1099511628211ULL;
    h2 = (h2 ^ c) * 1099511628211ULL + 0x9E3779B97F4A7C15ULL;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(h1 >> 32),
                static_cast<unsigned>((h1 >> 16) & 0xFFFF), static_cast<unsigned>(h1 & 0xFFFF),
                static_cast<unsigned>(h2 >> 48),
                static_cast<unsigned long long>(h2 & 0xFFFFFFFFFFFFULL));
  return text;
}

std::string DatabaseGuid(const BackupSet& s, const char* what) {
  return BackupGuid(s.database + DateTimeText(s.database_created) + what);
}

// Major, minor and build of the server that wrote the set ("8.00.2039").
std::vector<Value> SoftwareVersion(const BackupSet& s) {
  int major = 8, minor = 0, build = 0;
  std::sscanf(s.software_version.c_str(), "%d.%d.%d", &major, &minor, &build);
  return {int64_t{major}, int64_t{minor}, int64_t{build}};
}

// The column names SQL Server 2005 spells with "LSN" where 2000 wrote "Lsn".
std::vector<ColumnInfo> HeaderColumns(bool is2005) {
  std::vector<ColumnInfo> c = {
      ListColumn("BackupName", T::NVarChar, 128),      ListColumn("BackupDescription", T::NVarChar, 255),
      ListColumn("BackupType", T::SmallInt),           ListColumn("ExpirationDate", T::DateTime),
      ListColumn("Compressed", T::TinyInt),            ListColumn("Position", T::SmallInt),
      ListColumn("DeviceType", T::TinyInt),            ListColumn("UserName", T::NVarChar, 128),
      ListColumn("ServerName", T::NVarChar, 128),      ListColumn("DatabaseName", T::NVarChar, 128),
      ListColumn("DatabaseVersion", T::Int),           ListColumn("DatabaseCreationDate", T::DateTime),
      ListColumn("BackupSize", T::Numeric, 0, 20),     ListColumn(is2005 ? "FirstLSN" : "FirstLsn", T::Numeric, 0, 25),
      ListColumn(is2005 ? "LastLSN" : "LastLsn", T::Numeric, 0, 25),
      ListColumn(is2005 ? "CheckpointLSN" : "CheckpointLsn", T::Numeric, 0, 25),
      ListColumn(is2005 ? "DatabaseBackupLSN" : "DifferentialBaseLsn", T::Numeric, 0, 25),
      ListColumn("BackupStartDate", T::DateTime),      ListColumn("BackupFinishDate", T::DateTime),
      ListColumn("SortOrder", T::SmallInt),            ListColumn("CodePage", T::SmallInt),
      ListColumn("UnicodeLocaleId", T::Int),           ListColumn("UnicodeComparisonStyle", T::Int),
      ListColumn("CompatibilityLevel", T::TinyInt),    ListColumn("SoftwareVendorId", T::Int),
      ListColumn("SoftwareVersionMajor", T::Int),      ListColumn("SoftwareVersionMinor", T::Int),
      ListColumn("SoftwareVersionBuild", T::Int),      ListColumn("MachineName", T::NVarChar, 128),
      ListColumn("Flags", T::Int),                     ListColumn("BindingID", T::UniqueIdentifier),
      ListColumn("RecoveryForkID", T::UniqueIdentifier), ListColumn("Collation", T::NVarChar, 128)};
  if (!is2005) return c;
  const std::vector<ColumnInfo> more = {
      ListColumn("FamilyGUID", T::UniqueIdentifier),   ListColumn("HasBulkLoggedData", T::Bit),
      ListColumn("IsSnapshot", T::Bit),                ListColumn("IsReadOnly", T::Bit),
      ListColumn("IsSingleUser", T::Bit),              ListColumn("HasBackupChecksums", T::Bit),
      ListColumn("IsDamaged", T::Bit),                 ListColumn("BeginsLogChain", T::Bit),
      ListColumn("HasIncompleteMetaData", T::Bit),     ListColumn("IsForceOffline", T::Bit),
      ListColumn("IsCopyOnly", T::Bit),                ListColumn("FirstRecoveryForkID", T::UniqueIdentifier),
      ListColumn("ForkPointLSN", T::Numeric, 0, 25),   ListColumn("RecoveryModel", T::NVarChar, 60),
      ListColumn("DifferentialBaseLSN", T::Numeric, 0, 25), ListColumn("DifferentialBaseGUID", T::UniqueIdentifier),
      ListColumn("BackupTypeDescription", T::NVarChar, 60), ListColumn("BackupSetGUID", T::UniqueIdentifier)};
  c.insert(c.end(), more.begin(), more.end());
  return c;
}

}  // namespace

void SendBackupHeaders(Context& ctx, const std::vector<BackupSet>& sets) {
  const bool is2005 = ctx.model.server.Is2005();
  ResultSet r;
  r.columns = HeaderColumns(is2005);
  for (const BackupSet& s : sets) {
    // The backup's size: its pages and the header extents of the set.
    const int64_t size = (s.pages + 16) * 8192;
    Row row = {NullableText(s.name), NullableText(s.description), int64_t{1}, std::monostate{},
               int64_t{0}, int64_t{s.position}, int64_t{2}, s.user, s.server, s.database,
               int64_t{s.database_version}, s.database_created, std::to_string(size),
               std::to_string(s.first_lsn), std::to_string(s.last_lsn), std::to_string(s.first_lsn),
               is2005 ? Value{std::string("0")} : Value{std::monostate{}}, s.started, s.finished,
               int64_t{0}, int64_t{1250}, int64_t{1045}, int64_t{196609}, int64_t{s.compatibility},
               int64_t{4608}};
    for (Value& v : SoftwareVersion(s)) row.push_back(std::move(v));
    for (Value v : {Value{s.machine}, Value{int64_t{0}}, Value{DatabaseGuid(s, "")},
                    Value{DatabaseGuid(s, "fork")}, Value{s.collation}})
      row.push_back(std::move(v));
    if (is2005) {
      // The family's guid, ten flags, then the rest of 2005's columns.
      std::vector<Value> more(11, Value{int64_t{0}});
      more[0] = DatabaseGuid(s, "family");
      for (Value& v : more) row.push_back(std::move(v));
      for (Value v : {Value{DatabaseGuid(s, "fork")}, Value{}, Value{s.recovery_model}, Value{}, Value{},
                      Value{std::string("Database")},
                      Value{BackupGuid(s.database + DateTimeText(s.started) + std::to_string(s.position))}})
        row.push_back(std::move(v));
    }
    r.rows.push_back(std::move(row));
  }
  ctx.SendResult(r);
}

void SendBackupFileList(Context& ctx, const BackupSet& set) {
  const bool is2005 = ctx.model.server.Is2005();
  ResultSet r;
  r.columns = {ListColumn("LogicalName", T::NVarChar, 128), ListColumn("PhysicalName", T::NVarChar, 260),
               ListColumn("Type", T::Char, 1),               ListColumn("FileGroupName", T::NVarChar, 128),
               ListColumn("Size", T::Numeric, 0, 20),        ListColumn("MaxSize", T::Numeric, 0, 20)};
  if (is2005) {
    const std::vector<ColumnInfo> more = {
        ListColumn("FileId", T::BigInt),                  ListColumn("CreateLSN", T::Numeric, 0, 25),
        ListColumn("DropLSN", T::Numeric, 0, 25),         ListColumn("UniqueId", T::UniqueIdentifier),
        ListColumn("ReadOnlyLSN", T::Numeric, 0, 25),     ListColumn("ReadWriteLSN", T::Numeric, 0, 25),
        ListColumn("BackupSizeInBytes", T::BigInt),       ListColumn("SourceBlockSize", T::Int),
        ListColumn("FileGroupId", T::Int),                ListColumn("LogGroupGUID", T::UniqueIdentifier),
        ListColumn("DifferentialBaseLSN", T::Numeric, 0, 25), ListColumn("DifferentialBaseGUID", T::UniqueIdentifier),
        ListColumn("IsReadOnly", T::Bit),                 ListColumn("IsPresent", T::Bit)};
    r.columns.insert(r.columns.end(), more.begin(), more.end());
  }
  int64_t id = 0;
  for (const BackupFileEntry& f : set.files) {
    ++id;
    Row row = {f.logical, f.physical, std::string(f.log ? "L" : "D"),
               f.log ? Value{std::monostate{}} : Value{std::string("PRIMARY")},
               std::to_string(f.size_bytes), std::to_string(f.max_bytes)};
    if (is2005) {
      for (Value v : {Value{id}, Value{std::string("0")}, Value{std::string("0")},
                      Value{BackupGuid(set.database + f.logical)}, Value{}, Value{}, Value{f.log ? int64_t{0} : f.size_bytes},
                      Value{int64_t{512}}, Value{int64_t{f.log ? 0 : 1}}, Value{}, Value{},
                      f.log ? Value{} : Value{DatabaseGuid(set, "base")}, Value{int64_t{0}}, Value{int64_t{1}}})
        row.push_back(std::move(v));
    }
    r.rows.push_back(std::move(row));
  }
  ctx.SendResult(r);
}

}  // namespace msde
