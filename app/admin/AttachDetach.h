#pragma once
// "Podłącz bazę" and "Odłącz bazę": attaching database files under a name and preparing the
// database for Tovinex (its login, its database user and the client entries), and detaching
// a database together with the login Tovinex used for it.
#include <string>

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

// The commands.
void AttachDatabaseCommand(TForm1& Form);
void DetachDatabaseCommand(TForm1& Form);

// The operations under them; the attaches return success.
bool AttachSingleFile(TForm1& Form, const std::string& Name, const std::string& DataFile, bool Archive);
bool AttachWithLog(TForm1& Form, const std::string& Name, const std::string& DataFile, const std::string& LogFile,
                   bool Archive);
void DetachDatabase(TForm1& Form, const std::string& Name);

// Prepares database D for Tovinex once it is on the server (after an attach, or a restore
// under a new name): its login, its database user and the client entries, Archive setting
// Blokada. A failed statement (already reported) raises, leaving the earlier ones done.
void PostAttachSetUp(TForm1& Form, const std::string& D, bool Archive);

// The next login name to try when Login is taken: "1" appended after a letter, the last
// digit counted up otherwise (Sklep -> Sklep1, Sklep9 -> Sklep10).
std::string NextLoginName(const std::string& Login);

}  // namespace vandrel::app::admin
