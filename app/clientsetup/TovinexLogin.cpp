#include "app/clientsetup/TovinexLogin.h"

#include <QString>

#include "app/SqlQuoting.h"
#include "app/admin/AttachDetach.h"
#include "app/clientsetup/TovinexRegistry.h"
#include "platform/Registry.h"

namespace vandrel::app::clientsetup {

namespace {

// The server compares user and login names without regard to case.
bool SameUserName(const std::string& A, const std::string& B) {
  return QString::fromStdString(A).compare(QString::fromStdString(B), Qt::CaseInsensitive) == 0;
}

std::string Quoted(const std::string& Name) { return "\"" + Name + "\""; }

}  // namespace

TTovinexUser TovinexUserOf(const std::vector<std::string>& TableOwners) {
  TTovinexUser User;
  for (const std::string& Owner : TableOwners) {
    if (SameUserName(Owner, "dbo")) continue;
    if (User.Name.empty()) {
      User.Name = Owner;
    } else if (Owner != User.Name) {
      User.SeveralOwners = true;
    }
  }
  if (User.SeveralOwners || User.Name.empty()) User.Name = "dba";
  return User;
}

bool ReadUserLogins(TCommandContext& Context, const std::string& Database, std::vector<TUserLogin>& Users) {
  Users.clear();
  TextList List;
  Context.QueryToList(List, "sp_helpuser", Database);
  if (List.empty()) return false;
  const size_t Columns = std::stoul(List[0]);
  if (Columns < 4) return false;
  for (size_t Row = 1; Row + Columns <= List.size(); Row += Columns)
    Users.push_back({List[Row], List[Row + 1], List[Row + 2], List[Row + 3]});
  return true;
}

std::string NetworkLogin(TCommandContext& Context, const std::string& Database, const std::string& Stored,
                         std::string& Why) {
  if (!Stored.empty() &&
      Context.QueryScalar("select count(*) from syslogins where name = " + UnicodeLiteral(Stored), "master").Value == "1")
    return Stored;
  std::vector<TUserLogin> Users;
  if (!ReadUserLogins(Context, Database, Users)) {
    Why = "Nie udało się odczytać użytkowników bazy " + Quoted(Database) + ".";
    return {};
  }
  // Only a login an attach makes: its default database is this one and a user of it is tied
  // to it; first one named by the attach's rule (the database's name, numbered on), then one
  // whose user is a db_owner, as an attach makes its user. A person's login (a warehouse
  // worker reading and writing the tables) is never taken for Tovinex's.
  const auto Own = [&](const TUserLogin& U) { return !U.Login.empty() && SameUserName(U.LoginDatabase, Database); };
  std::string Name = Database;
  for (bool Taken = true; Taken; Name = admin::NextLoginName(Name)) {
    Taken = Context.QueryScalar("select count(*) from syslogins where name = " + UnicodeLiteral(Name), "master").Value == "1";
    for (const TUserLogin& U : Users)
      if (Taken && Own(U) && SameUserName(U.Login, Name)) return U.Login;
  }
  for (const TUserLogin& U : Users)
    if (Own(U) && SameUserName(U.Role, "db_owner") && !SameUserName(U.User, "dbo")) return U.Login;
  return {};
}

std::string LoginOfDatabase(TCommandContext& Context, const std::string& Database, const std::string& Candidate,
                            std::string& Why) {
  std::vector<TUserLogin> Users;
  if (!ReadUserLogins(Context, Database, Users)) {
    Why = "nie udało się odczytać użytkowników bazy.";
    return {};
  }
  bool Mapped = false;
  for (const TUserLogin& U : Users) {
    if (!SameUserName(U.Login, Candidate)) continue;
    Mapped = true;
    if (SameUserName(U.LoginDatabase, Database)) return U.Login;
  }
  Why = Mapped ? "jego domyślną bazą nie jest ta baza, więc nie został utworzony przy jej podłączeniu."
               : "żaden użytkownik bazy nie jest z nim związany, więc nie jest loginem tej bazy.";
  return {};
}

std::string StoredUserId(const std::string& Database) {
  platform::TRegistry Reg(platform::HKEY_LOCAL_MACHINE);
  if (!Reg.OpenKeyReadOnly(kTovinexDatabaseKey + Database) || !Reg.ValueExists("UserId")) return {};
  return Reg.ReadString("UserId");
}

}  // namespace vandrel::app::clientsetup
