#pragma once
// A private unixODBC and FreeTDS configuration for a test: odbcinst.ini registering FreeTDS
// as the driver "SQL Server", odbc.ini with a data source "msde-sim", and freetds.conf
// whose [global] section sets TDS 7.1, UTF-8 client text and the port. ODBCSYSINI, ODBCINI
// and FREETDSCONF point at them while the object lives and are restored afterwards.
// The files live in one directory per process: unixODBC caches what it read from
// odbcinst.ini for a while, and a cached entry must never point into a removed directory.
#include <optional>
#include <string>

#include "testkit/TempDir.h"

namespace msde::testkit {

constexpr const char* kFreeTdsDriver = "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
constexpr const char* kDataSourceName = "msde-sim";

class OdbcConfig {
 public:
  explicit OdbcConfig(int port);
  ~OdbcConfig();
  OdbcConfig(const OdbcConfig&) = delete;
  OdbcConfig& operator=(const OdbcConfig&) = delete;

  // Rewrites the files for another port (the driver manager reads them at each connect).
  void SetPort(int port);
  int Port() const { return port_; }
  const std::string& Directory() const;
  // The connection string the tool builds: DRIVER={SQL Server};SERVER=127.0.0.1,PORT;...
  std::string ConnectionString(const std::string& user, const std::string& password) const;
  // The same with ClientCharset=UTF-8: FreeTDS reads no freetds.conf for a SERVER=
  // connection string, so without it the driver takes the program's text for ISO-8859-1
  // and Polish letters are garbled in both directions.
  std::string Utf8ConnectionString(const std::string& user, const std::string& password) const;

 private:
  struct Saved {
    std::string name;
    std::optional<std::string> value;
  };
  void Write() const;

  int port_;
  Saved saved_[3];
};

}  // namespace msde::testkit
