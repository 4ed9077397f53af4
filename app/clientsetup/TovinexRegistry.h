#pragma once
// The registry entries through which a Tovinex workstation reaches a database: the Tovinex
// database key, the ODBC data source (user and machine-wide) and the SQL Server client's
// network alias. Written by the network connection command and after an attach.
#include <exception>
#include <string>

class QWidget;

#include "app/CommandContext.h"

namespace vandrel::app::clientsetup {

// Under HKEY_LOCAL_MACHINE; the database name follows.
inline constexpr const char* kTovinexDatabaseKey = "SOFTWARE\\QUORVEL\\TovinexWin\\Bazy\\";

enum class TNetworkLibrary { TcpIp, NamedPipes };

// Writes the entries for Database: the Tovinex key with User as UserId, the data sources with
// the ODBC driver the window detected, Server for the user's data source and the alias. The
// entries reach their files together or not at all. Reports its own failures in message boxes
// (naming the file that could not be written and why) and returns false; never throws.
bool WriteTovinexEntries(TCommandContext& Context, const std::string& Database, const std::string& User,
                         const std::string& Server, TNetworkLibrary Library, bool Archive);

// Why a registry operation failed: the file and the system's reason (or the line of a damaged
// store) where the failure names them.
std::string RegistryFailureReason(const std::exception& E);

// The library path of an installed ODBC driver: the user's driver entry first, then the
// machine's. Empty, after a message, when neither names one.
std::string OdbcDriverPath(QWidget* Parent, const std::string& DriverName);

}  // namespace vandrel::app::clientsetup
