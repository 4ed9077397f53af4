#include "platform/OdbcDriver.h"

#include <odbcinst.h>

#include <filesystem>
#include <vector>

namespace vandrel::platform {

namespace fs = std::filesystem;

bool OdbcDriverRegistered(const std::string& Name) {
  char Library[1024] = {0};
  return SQLGetPrivateProfileString(Name.c_str(), "Driver", "", Library, sizeof Library, "ODBCINST.INI") > 0 &&
         Library[0] != '\0';
}

std::string FreeTdsDriverLibrary() {
  // Debian and Ubuntu put it under the architecture's directory, others directly in a lib.
  std::vector<fs::path> Candidates = {"/usr/lib/odbc/libtdsodbc.so", "/usr/lib64/libtdsodbc.so"};
  std::error_code Error;
  for (const auto& Entry : fs::directory_iterator("/usr/lib", Error))
    Candidates.insert(Candidates.begin(), Entry.path() / "odbc/libtdsodbc.so");
  for (const auto& Candidate : Candidates)
    if (fs::exists(Candidate, Error)) return Candidate.string();
  return "";
}

}  // namespace vandrel::platform
