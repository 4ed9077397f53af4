#include "testkit/OdbcConfig.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace msde::testkit {
namespace {

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

// A connection string value, braced when it holds characters that would end it early.
std::string Attribute(const std::string& value) {
  if (value.find_first_of(";{}") == std::string::npos && (value.empty() || value[0] != ' '))
    return value;
  std::string braced = "{";
  for (char c : value) braced += c == '}' ? std::string("}}") : std::string(1, c);
  return braced + "}";
}

}  // namespace

const std::string& OdbcConfig::Directory() const {
  static const TempDir shared("msde-odbc");
  return shared.Path();
}

OdbcConfig::OdbcConfig(int port) : port_(port) {
  Write();
  const std::string& dir = Directory();
  const std::string values[] = {dir, dir + "/odbc.ini", dir + "/freetds.conf"};
  const char* names[] = {"ODBCSYSINI", "ODBCINI", "FREETDSCONF"};
  for (int i = 0; i < 3; ++i) {
    const char* old = std::getenv(names[i]);
    saved_[i] = Saved{names[i], old ? std::optional<std::string>(old) : std::nullopt};
    setenv(names[i], values[i].c_str(), 1);
  }
}

OdbcConfig::~OdbcConfig() {
  for (const auto& s : saved_) {
    if (s.value)
      setenv(s.name.c_str(), s.value->c_str(), 1);
    else
      unsetenv(s.name.c_str());
  }
}

void OdbcConfig::SetPort(int port) {
  port_ = port;
  Write();
}

void OdbcConfig::Write() const {
  const std::string& dir = Directory();
  WriteFile(dir + "/odbcinst.ini", std::string("[SQL Server]\nDescription = FreeTDS\nDriver = ") +
                                       kFreeTdsDriver + "\nUsageCount = 1\n");
  WriteFile(dir + "/odbc.ini",
            std::string("[") + kDataSourceName +
                "]\nDriver = SQL Server\nServer = 127.0.0.1\nPort = " + std::to_string(port_) +
                "\nTDS_Version = 7.1\nClientCharset = UTF-8\n");
  WriteFile(dir + "/freetds.conf",
            "[global]\n\ttds version = 7.1\n\tclient charset = UTF-8\n"
            "\tport = " +
                std::to_string(port_) + "\n");
}

std::string OdbcConfig::ConnectionString(const std::string& user,
                                         const std::string& password) const {
  return "DRIVER={SQL Server};SERVER=127.0.0.1," + std::to_string(port_) +
         ";UID=" + Attribute(user) + ";PWD=" + Attribute(password) + ";";
}

std::string OdbcConfig::Utf8ConnectionString(const std::string& user,
                                             const std::string& password) const {
  return ConnectionString(user, password) + "ClientCharset=UTF-8;";
}

}  // namespace msde::testkit
