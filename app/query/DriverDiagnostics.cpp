#include "app/query/DriverDiagnostics.h"

#include <dlfcn.h>
#include <sqlext.h>

#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace vandrel::app {
namespace {

// The loaded library whose file is named Name (as SQL_DRIVER_NAME tells it), its full path
// from the process's map; empty when none is loaded.
std::string LoadedLibrary(const std::string& Name) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    const size_t slash = line.rfind('/');
    if (slash == std::string::npos || line.compare(slash + 1, std::string::npos, Name) != 0) continue;
    return line.substr(line.find('/'));
  }
  return {};
}

// The driver's SQLGetDiagRec and SQLGetDiagField, looked up once per driver library.
std::pair<void*, void*> DriverFunctions(const std::string& Driver) {
  static std::mutex lock;
  static std::map<std::string, std::pair<void*, void*>> found;
  std::lock_guard guard(lock);
  if (const auto at = found.find(Driver); at != found.end()) return at->second;
  std::pair<void*, void*> functions{nullptr, nullptr};
  const std::string path = LoadedLibrary(Driver);
  // Only a library loaded already; the driver manager keeps it loaded as long as the
  // process has a connection through it, and this reference keeps it for good.
  if (void* library = path.empty() ? nullptr : dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD))
    functions = {dlsym(library, "SQLGetDiagRec"), dlsym(library, "SQLGetDiagField")};
  if (!functions.first || !functions.second) functions = {nullptr, nullptr};
  found[Driver] = functions;
  return functions;
}

}  // namespace

TDriverDiagnostics::TDriverDiagnostics(SQLHDBC Connection, SQLHSTMT Statement) : FStatement(Statement) {
  SQLCHAR driver[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(Connection, SQL_DRIVER_NAME, driver, sizeof driver, &length))) return;
  // SQL_DRIVER_HSTMT takes the driver manager's statement handle in its buffer.
  SQLHSTMT handle = Statement;
  if (!SQL_SUCCEEDED(SQLGetInfo(Connection, SQL_DRIVER_HSTMT, &handle, sizeof handle, nullptr)) || !handle ||
      handle == Statement)
    return;
  const auto [record, field] = DriverFunctions(reinterpret_cast<char*>(driver));
  if (!record) return;
  FDriverStatement = handle;
  FGetDiagRec = reinterpret_cast<TGetDiagRec>(record);
  FGetDiagField = reinterpret_cast<TGetDiagField>(field);
}

SQLRETURN TDriverDiagnostics::Record(SQLSMALLINT Number, SQLCHAR* State, SQLINTEGER* Native, SQLCHAR* Text,
                                     SQLSMALLINT Size, SQLSMALLINT* Length) const {
  if (FGetDiagRec) return FGetDiagRec(SQL_HANDLE_STMT, FDriverStatement, Number, State, Native, Text, Size, Length);
  return SQLGetDiagRec(SQL_HANDLE_STMT, FStatement, Number, State, Native, Text, Size, Length);
}

bool TDriverDiagnostics::Integer(SQLSMALLINT Number, SQLSMALLINT Field, int& Value) const {
  if (!FGetDiagField) return false;
  // Zeroed whole: a driver may write a 16-bit value (the line). FreeTDS takes the buffer's
  // length as given and refuses the negative SQL_IS_INTEGER.
  SQLINTEGER value = 0;
  if (!SQL_SUCCEEDED(FGetDiagField(SQL_HANDLE_STMT, FDriverStatement, Number, Field, &value, sizeof value, nullptr)))
    return false;
  Value = static_cast<int>(value);
  return true;
}

}  // namespace vandrel::app
