#pragma once
// What a till sees: plain isql connecting through a data source.
#include <cstdio>
#include <string>

#include "testkit/TempDir.h"

namespace vandrel::app::testing {

// What plain isql answers to "select db_name()" through data source Dsn, run as a program of
// its own with this process's ODBC and FreeTDS configuration; Env goes before it ("env -u
// TDSPORT" drops the port that the window's own connection takes from the environment).
// Its HOME is a scratch directory: isql keeps its history there (.isql_history), even in
// batch mode.
inline std::string IsqlDatabase(const std::string& Dsn, const std::string& User, const std::string& Password,
                                const std::string& Env = "") {
  const msde::testkit::TempDir home("isql-home");
  const std::string command = "echo 'select db_name()' | HOME='" + home.Path() + "' " + Env + " isql -b -v '" + Dsn +
                              "' '" + User + "' '" + Password + "' 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

}  // namespace vandrel::app::testing
