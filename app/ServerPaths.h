#pragma once
// Paths on the server's disk as the tool and vandrel-backup build them: a directory keeps its
// own separator ("\" for a Windows server), and a backup file is named after its database and
// day, one file per database and day.
#include <string>

namespace vandrel::app {

// Name in Directory, joined by the separator the directory uses ("\" for a Windows path).
std::string PathInDirectory(const std::string& Directory, const std::string& Name);

// Why a database name cannot become part of a file name on the server's disk: a path
// separator, "..", or a character Windows forbids in file names (< > : " | ? * and control
// characters); empty when it can.
std::string FileNameProblem(const std::string& Database);

// "Sklep_20261209.bak" for the database Sklep on 9 December 2026 (Day: "20261209").
std::string BackupFileName(const std::string& Database, const std::string& Day);

// Whether a server name names this machine, so that its backup directory is this machine's
// and vandrel-backup may remove old files there (--keep): "(local)", ".", localhost, a
// loopback address or this host's name, with or without ",port" or "\instance".
bool IsThisMachine(const std::string& Server);

}  // namespace vandrel::app
