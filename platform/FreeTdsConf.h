#pragma once
// FreeTDS's own list of servers, freetds.conf. A data source of the FreeTDS driver cannot use
// the SQL Server client's server names ("(local)", an alias name) as a host: it names a
// section of freetds.conf with Servername= instead, and FreeTDS refuses a data source that
// names both Server and Servername. So the ODBC mapping keeps the registry's Server value as
// Servername and makes sure the section exists (OdbcRegistry.cpp), and a client network alias
// written into the registry becomes the host of the section of its name.
//
// FreeTDS looks for a section in $FREETDSCONF, then $FREETDS/etc/freetds.conf, then
// ~/.freetds.conf, then /etc/freetds/freetds.conf, and takes the first file that holds it.
// The user's file stands beside HKEY_CURRENT_USER, the system's beside HKEY_LOCAL_MACHINE.
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryRoot.h"

namespace vandrel::platform {

// The key of the SQL Server client's network aliases, under HKEY_LOCAL_MACHINE.
inline constexpr const char* kClientAliasKey = "SOFTWARE\\Microsoft\\MSSQLServer\\Client\\ConnectTo";

// HKEY_CURRENT_USER: $FREETDSCONF when set, else ~/.freetds.conf. HKEY_LOCAL_MACHINE:
// $FREETDS/etc/freetds.conf when FREETDS is set, else /etc/freetds/freetds.conf.
std::string FreeTdsConfFile(HKEY Root);

// Where a section sends FreeTDS. An empty port or instance is left to FreeTDS (the file's
// [global] port, or 1433).
struct TFreeTdsServer {
  std::string Host, Port, Instance;
};

// A server name as the SQL Server client reads it: "(local)" or "." (optionally with
// "\instance") is this machine; "host,port" and "host\instance" name both parts.
TFreeTdsServer FreeTdsServerFromName(const std::string& Name);
// A client network alias: "DBMSSOCN,host[,port]" (TCP/IP) or "DBNMPNTW,\\host\pipe\..."
// (named pipes, which FreeTDS does not speak, so the host is reached over TCP/IP); nothing
// when the text is neither.
std::optional<TFreeTdsServer> FreeTdsServerFromAlias(const std::string& Alias);

// One freetds.conf file. Changes take the file's lock, keep every other line of the file as it
// was and replace the file atomically; failures raise EMRegistryError naming the file.
class TFreeTdsConf {
 public:
  explicit TFreeTdsConf(std::string FileName);
  const std::string& FileName() const { return FFileName; }

  bool HasSection(const std::string& Name) const;
  // The value of a key of the section ("tds version" and "tds_version" are one key); empty
  // when absent.
  std::string Value(const std::string& Section, const std::string& Key) const;
  // Points section Name at Server: host, port and instance set (an empty one removed), other
  // keys of the section kept. A new section also gets TDS version 7.1 and UTF-8 client text,
  // as the tool's own connections use, and, unless an administrator adds it by hand
  // (ForDataSources false), the mark that lets it go with its last data source.
  void SetServer(const std::string& Name, const TFreeTdsServer& Server, bool ForDataSources = true);
  // The sections other than [global], in the file's order.
  std::vector<std::string> Sections() const;
  // Removes section Name with its keys; true when it went.
  bool RemoveSection(const std::string& Name);
  // Removes section Name when this mapping made it (a section an administrator wrote stays);
  // true when it went.
  bool RemoveMadeSection(const std::string& Name);

 private:
  std::string Load() const;
  bool Remove(const std::string& Name, bool OnlyMade);

  std::string FFileName;
};

// Makes sure Root's freetds.conf has a section for the server name a data source names: a
// client network alias of that name decides its host; otherwise an existing section is kept
// as its administrator wrote it, and a missing one points at the host the name itself names.
void EnsureFreeTdsServer(HKEY Root, const std::string& Name);
void ForgetFreeTdsServer(HKEY Root, const std::string& Name);
// A client network alias was written: sections of its name that exist follow it.
void FollowClientAlias(const std::string& Name, const std::string& Alias);

}  // namespace vandrel::platform
