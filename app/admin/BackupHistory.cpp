#include "app/admin/BackupHistory.h"

#include <QDialog>
#include <map>
#include <memory>

#include "app/DialogSeam.h"
#include "app/QtText.h"
#include "app/SqlQuoting.h"
#include "app/admin/BackupHistoryDlg.h"
#include "app/admin/Restore.h"
#include "app/admin/ServerFileDlg.h"
#include "app/health/HealthRead.h"

namespace vandrel::app::admin {
namespace {

// One row a backup: its start and end as CONVERT style 120 (to reckon its duration), its end
// as the server's date reads, its kind, size, place in its file and the file.
std::string HistoryQuery(const std::string& Database) {
  return "select convert(varchar(19), s.backup_start_date, 120), convert(varchar(19), s.backup_finish_date, 120), "
         "s.backup_finish_date, s.type, s.backup_size, s.position, f.physical_device_name "
         "from msdb..backupset s join msdb..backupmediafamily f on f.media_set_id = s.media_set_id "
         "where s.database_name = " +
         UnicodeLiteral(Database) + " order by s.backup_finish_date desc, s.backup_set_id desc";
}
constexpr size_t kHistoryColumns = 7;

}  // namespace

bool ReadBackupHistory(TCommandContext& Context, const std::string& Database, std::vector<TBackupHistoryEntry>& Entries) {
  Entries.clear();
  TextList rows;
  if (Context.QueryToList(rows, HistoryQuery(Database), "master") != TStepOutcome::soDone) return false;
  if (rows.empty() || std::stoul(rows[0]) != kHistoryColumns) return !rows.empty();
  std::map<std::string, std::optional<bool>> asked;  // file -> the server's answer
  for (size_t at = 1; at + kHistoryColumns <= rows.size(); at += kHistoryColumns) {
    TBackupHistoryEntry e;
    e.Seconds = health::SecondsBetween(rows[at], rows[at + 1]);
    e.Finished = rows[at + 2];
    e.Type = rows[at + 3];
    e.Size = rows[at + 4];
    e.Position = std::max(1, std::atoi(rows[at + 5].c_str()));
    e.File = rows[at + 6];
    auto known = asked.find(e.File);
    if (known == asked.end()) known = asked.emplace(e.File, ServerHasFile(Context, Q(e.File))).first;
    e.FileThere = known->second;
    Entries.push_back(e);
  }
  return true;
}

QString BackupTypeText(const std::string& Type) {
  if (Type == "D") return QStringLiteral("pełna");
  if (Type == "I") return QStringLiteral("różnicowa");
  if (Type == "L") return QStringLiteral("dziennika");
  return Q(Type);
}

QString DurationText(const std::optional<int64_t>& Seconds) {
  if (!Seconds || *Seconds < 0) return {};
  const int64_t s = *Seconds;
  auto two = [](int64_t n) { return QStringLiteral("%1").arg(n, 2, 10, QChar('0')); };
  if (s < 60) return QStringLiteral("%1 s").arg(s);
  if (s < 3600) return QStringLiteral("%1 min %2 s").arg(s / 60).arg(two(s % 60));
  return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(two(s / 60 % 60));
}

void BackupHistoryCommand(TCommandContext& Context) {
  const std::string database = Context.SelectedDatabase();
  if (database.empty() || !Context.EnsureConnected()) return;
  std::vector<TBackupHistoryEntry> entries;
  if (!ReadBackupHistory(Context, database, entries)) return;
  auto dialog = std::make_unique<TBackupHistoryDlg>(Context, database, entries);
  if (DialogSeam::Current().ExecDialog(dialog.get()) != QDialog::Accepted) return;
  const TBackupHistoryEntry* chosen = dialog->Selected();
  if (!chosen) return;
  const TBackupHistoryEntry restore = *chosen;
  dialog.reset();
  RestoreFromFile(Context, restore.File, restore.Position);
}

}  // namespace vandrel::app::admin
