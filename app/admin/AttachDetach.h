#pragma once
// "Podłącz bazę" and "Odłącz bazę": attaching database files under a name and preparing the
// database for Tovinex (its login, its database user and the client entries), and detaching
// a database together with the login Tovinex used for it.
#include <string>
#include <vector>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// The commands.
void AttachDatabaseCommand(TCommandContext& Context);
void DetachDatabaseCommand(TCommandContext& Context);

// What the preparation of a database for Tovinex did.
struct TSetUpResult {
  TStepOutcome Outcome = TStepOutcome::soDone;  // of its statements
  std::string Failed;                           // the statement that failed or was stopped
  std::string Login;                            // the login it made or was to make
  std::string Undone;                           // what it took back after the failure, said as such
  bool EntriesWritten = false;                  // the client entries reached their files
  // The database's user that belongs to a login of its own and was left to it (the Tovinex
  // login got a user of its own instead), with that login; empty when none.
  std::string KeptUser, KeptUserLogin;
  bool SeveralOwners = false;  // tables of several owners besides dbo
  // The entries written: the server their data sources name, the files they changed, and why
  // the data source did not connect when tried (empty when it did).
  std::string Server;
  std::vector<std::string> FilesWritten;
  std::string SourceFailure;
  bool Complete() const { return Outcome == TStepOutcome::soDone && EntriesWritten; }
};

// What an attach did: whether the server holds the database now, and its preparation.
struct TAttachResult {
  bool Attached = false;
  TSetUpResult SetUp;
};

// The operations under them.
TAttachResult AttachSingleFile(TCommandContext& Context, const std::string& Name, const std::string& DataFile,
                               bool Archive);
TAttachResult AttachWithLog(TCommandContext& Context, const std::string& Name, const std::string& DataFile,
                            const std::string& LogFile, bool Archive);
void DetachDatabase(TCommandContext& Context, const std::string& Name);

// Prepares database D for Tovinex once it is on the server (after an attach, or a restore
// under a new name): its login, its database user and the client entries, Archive setting
// Blokada. It stops at the first statement that fails or is stopped and takes back the login
// and user it made, so that no login is left without its user.
TSetUpResult PostAttachSetUp(TCommandContext& Context, const std::string& D, bool Archive);
// The login and database user of that set-up alone, taken back when a statement fails.
TSetUpResult MakeTovinexLogin(TCommandContext& Context, const std::string& D);

// What stopped a set-up that was not done, as a sentence (or two) for a message: the
// statement and what became of it, then what the set-up took back.
std::string SetUpFailureText(const TSetUpResult& SetUp);

// The next login name to try when Login is taken: "1" appended after a letter, the last
// digit counted up otherwise (Sklep -> Sklep1, Sklep9 -> Sklep10).
std::string NextLoginName(const std::string& Login);

}  // namespace vandrel::app::admin
