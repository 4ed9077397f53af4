#include "app/admin/InUseGuard.h"

#include <memory>
#include <set>

#include "app/DialogSeam.h"
#include "app/SqlQuoting.h"
#include "app/admin/InUseDlg.h"
#include "app/admin/Processes.h"
#include "foundation/Trim.h"

namespace vandrel::app::admin {
namespace {

// The server's own sessions (numbers 1 to 50, the lazy writer, the checkpoint, ...) are never
// a program that holds a database: the server refuses to end them.
const char* const kUserSessions = " and spid>50";

// A process as the user was shown it: its number and when it logged in.
struct Holder {
  std::string Spid, LoginTime;
};

// The processes that hold database Dbid now, the tool's own session never among them.
std::vector<Holder> HoldersOf(TCommandContext& Context, const std::string& Dbid) {
  TextList list;
  Context.QueryToList(list, "select spid, login_time from sysprocesses where dbid=" + Dbid + kUserSessions + " and spid<>@@SPID order by spid",
                   "master");
  std::vector<Holder> holders;
  for (size_t row = 1; list.size() > 2 && row + 1 < list.size(); row += 2)
    holders.push_back({std::string(Trim(list[row])), list[row + 1]});
  return holders;
}

// The process still holds the database and is the one that was shown (a number that ended
// meanwhile may have gone to an unrelated session, a till working in another database).
bool StillHolds(TCommandContext& Context, const Holder& H, const std::string& Dbid) {
  TextList now;
  Context.QueryToList(now, "select dbid, login_time from sysprocesses where spid=" + H.Spid, "master");
  return now.size() == 3 && std::string(Trim(now[1])) == Dbid && now[2] == H.LoginTime;
}

// Ends the listed processes after one confirmation, each only while it still holds the
// database. False when the user declined or a process could not be ended (the error report
// has shown the server's reason).
bool EndHolders(TCommandContext& Context, const std::string& Name, const std::string& Dbid, const std::vector<Holder>& Holders) {
  if (Holders.empty()) return true;
  QString list;
  for (const Holder& h : Holders) list += (list.isEmpty() ? "" : ", ") + QString::fromStdString(h.Spid);
  const QString question =
      QStringLiteral("Czy rozłączyć wszystkie procesy używające bazy \"%1\" (SPID: %2)? "
                     "Programy, które z nich korzystają, utracą połączenie z serwerem.")
          .arg(QString::fromStdString(Name), list);
  if (!Confirm(Context.DialogParent(), question, QStringLiteral("Rozłącz użytkowników i ponów"))) return false;
  for (const Holder& h : Holders)
    if (IsProcessNumber(h.Spid) && StillHolds(Context, h, Dbid) && !Context.ExecInDatabase("KILL " + h.Spid, "master"))
      return false;
  return true;
}

}  // namespace

bool DatabaseInUse(TCommandContext& Context, const std::string& Name) {
  const std::string dbid =
      Context.QueryScalar("select dbid from sysprocesses where dbid=DB_ID(" + UnicodeLiteral(Name) + ")" + kUserSessions, "master").Value;
  if (dbid.empty()) return false;
  const std::string program(Trim(Context.QueryScalar("select program_name from sysprocesses where dbid=" + dbid + kUserSessions, "master").Value));
  const QString message =
      program.empty() ? QStringLiteral("Nie można wykonać tej operacji, baza jest w użyciu")
                      : QStringLiteral("Nie można wykonać tej operacji, baza jest używana przez aplikacje: ") +
                            QString::fromStdString(program);
  TextList shown;
  Context.QueryToList(shown,
                   "select spid, hostname, program_name, loginame, last_batch from sysprocesses where dbid=" +
                       dbid + kUserSessions + " and spid<>@@SPID order by spid",
                   "master");
  // Only what the user is shown may be ended.
  std::set<std::string> shownSpids;
  const size_t columns = shown.empty() ? 0 : std::stoul(shown[0]);
  for (size_t row = 1; columns > 0 && row + columns - 1 < shown.size(); row += columns)
    shownSpids.insert(std::string(Trim(shown[row])));
  std::vector<Holder> holders = HoldersOf(Context, dbid);
  std::erase_if(holders, [&](const Holder& h) { return !shownSpids.count(h.Spid); });
  auto dialog = std::make_unique<TInUseDlg>(Context.DialogParent(), message, shown);
  if (DialogSeam::Current().ExecDialog(dialog.get()) != QDialog::Accepted) return true;
  dialog.reset();
  if (!EndHolders(Context, Name, dbid, holders)) return true;
  return DatabaseInUse(Context, Name);
}

std::string DatabaseIdentifier(TCommandContext& Context, const std::string& Name) {
  return Context.QueryScalar("SELECT dbid from sysdatabases where name=" + UnicodeLiteral(Name), "master").Value;
}

}  // namespace vandrel::app::admin
