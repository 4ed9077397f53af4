#pragma once
// How the command-line programs reach a server: the tool's connection string rules for a
// server name, user and password, one link without prompts, and the server's own words when
// something fails.
#include <string>

#include "data/OdbcLink.h"

namespace vandrel::backup {

// Why the programs cannot reach any server on this machine (no SQL Server ODBC driver), in
// the user's words; empty when the driver is there.
std::string MissingDriverText();

// Connects Link to Server; raises what the connect raised.
void ConnectToServer(TMOdbcLink& Link, const std::string& Server, const std::string& User,
                     const std::string& Password);

// The server's own words for a failed statement: its first message other than the closing
// "BACKUP DATABASE is terminating abnormally." (3013), without the driver's prefixes.
std::string ServerMessage(const Exception& e);

}  // namespace vandrel::backup
