#pragma once
// A fresh temporary directory for one test, with the ODBC configuration files and the registry
// stores pointed into it (ODBCSYSINI, ODBCINI, VANDREL_REGISTRY_DIR, and FREETDSCONF and FREETDS
// for the user's and the system's freetds.conf), so that no test touches
// the machine's own configuration. Everything is put back and removed at the end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace vandrel::platform::test {

class TTempConfigDir : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string Pattern = (std::filesystem::temp_directory_path() / "vandrel-plat-XXXXXX").string();
    ASSERT_NE(mkdtemp(Pattern.data()), nullptr);
    Dir = Pattern;
    SetEnv("ODBCSYSINI", Dir);
    SetEnv("ODBCINI", Dir + "/user-odbc.ini");
    SetEnv("VANDREL_REGISTRY_DIR", Dir + "/registry");
    SetEnv("FREETDSCONF", Dir + "/user-freetds.conf");
    SetEnv("FREETDS", Dir + "/freetds");
  }

  void TearDown() override {
    for (const auto& [Name, Value] : Saved) {
      if (Value) {
        setenv(Name.c_str(), Value->c_str(), 1);
      } else {
        unsetenv(Name.c_str());
      }
    }
    std::error_code Ignored;
    std::filesystem::remove_all(Dir, Ignored);
  }

  // Sets an environment variable for this test only.
  void SetEnv(const std::string& Name, const std::string& Value) {
    if (!Saved.count(Name)) {
      const char* Old = getenv(Name.c_str());
      Saved[Name] = Old ? std::optional<std::string>(Old) : std::nullopt;
    }
    setenv(Name.c_str(), Value.c_str(), 1);
  }

  static std::string ReadFile(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Out;
    Out << In.rdbuf();
    return Out.str();
  }

  static void WriteFile(const std::string& Path, const std::string& Text) {
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
    std::ofstream(Path, std::ios::binary) << Text;
  }

  std::string Dir;

 private:
  std::map<std::string, std::optional<std::string>> Saved;
};

}  // namespace vandrel::platform::test
