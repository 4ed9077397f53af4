#pragma once
// The files the Tovinex client set-up writes (the two registry stores, the two ODBC data
// source files and the two freetds.conf files) and the journal that makes one set-up's
// changes to them take effect together (FileTransaction.h).
#include <string>
#include <vector>

namespace vandrel::platform {

// Beside the user's registry store, where every user may write.
std::string ClientSetupJournal();
std::vector<std::string> ClientSetupFiles();
// Run at start: finishes a set-up the program was stopped in and removes leftover temporaries.
void RecoverClientSetup();

}  // namespace vandrel::platform
