#pragma once
// Reads a server's health facts with read-only statements (server properties, sysdatabases
// and DATABASEPROPERTYEX, sysaltfiles, msdb's backup history, syslogins, and each usable
// database's orphaned-user report), through whatever runs statements for the caller: the
// window's query steps or a command-line program's own link.
#include <optional>
#include <string>
#include <vector>

#include "app/health/HealthFacts.h"

namespace vandrel::health {

using THealthRow = std::vector<std::string>;
using THealthRows = std::vector<THealthRow>;

class THealthReader {
 public:
  virtual ~THealthReader() = default;
  // The rows of Sql run in Database, each value as text (NULL as ""); false when it failed.
  virtual bool Read(const std::string& Sql, const std::string& Database, THealthRows& Rows) = 0;
};

// False when not even the server's properties could be read (nothing else is tried then).
bool ReadServerFacts(THealthReader& Reader, TServerFacts& Facts);

// Seconds from Earlier to Later, both "YYYY-MM-DD hh:mm:ss" (CONVERT style 120); empty when
// either is not such a text.
std::optional<int64_t> SecondsBetween(const std::string& Earlier, const std::string& Later);

}  // namespace vandrel::health
