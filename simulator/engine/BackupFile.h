#pragma once
// The server's backup files. A file holds one or more backup sets, appended one after the
// other as BACKUP ... WITH NOINIT adds them; WITH INIT starts the file anew. Each set is
//   MSDE-SIM BACKUP SET <header bytes> <image bytes> <CRC-32 of both, 8 hex digits>\n
//   <header: one JSON object><image: the database as its attachable JSON file>\n
// The header carries what RESTORE HEADERONLY lists, so listing needs no image parsed. A file
// that does not read exactly so (cut short, edited, not a backup at all) is refused as a
// whole: nothing is restored from a damaged file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Model.h"

namespace msde {

struct BackupFileEntry {
  std::string logical, physical;  // as the database had them when it was backed up
  bool log = false;
  int64_t size_bytes = 0;
  int64_t max_bytes = 0;  // of an unlimited file: 35184372080640, as SQL Server reports it
};

struct BackupSet {
  int position = 1;  // from 1, in file order
  std::optional<std::string> name, description;
  std::string user, server, machine;
  std::string database;  // its name when it was backed up
  int database_version = 539;
  std::string software_version;  // of the server that wrote the set, "8.00.2039"
  std::string recovery_model = "SIMPLE";
  SqlDateTime database_created;
  int compatibility = 80;
  std::string collation;
  SqlDateTime started, finished;
  int64_t pages = 0;  // pages the backup processed
  int64_t first_lsn = 0, last_lsn = 0;
  std::vector<BackupFileEntry> files;
  std::string image;  // DatabaseToJson of the database
};

enum class BackupFileFault {
  None,
  Malformed,  // not a backup file, or cut short
  Checksum,   // the structure holds but the bytes of a set have changed
};

struct BackupFileContents {
  BackupFileFault fault = BackupFileFault::None;
  std::vector<BackupSet> sets;
};

BackupFileContents ParseBackupFile(const std::string& bytes);
std::string BackupFileText(const std::vector<BackupSet>& sets);
// A set of `db` as it stands now; the caller fills position, name, description, user,
// server, machine, times and pages.
BackupSet SnapshotOf(const Database& db, const std::string& ServerCollation);

}  // namespace msde
