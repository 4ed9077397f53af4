#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/base/Directories.h"
#include "platform/base/tests/EnvironmentVariable.h"

using namespace vandrel::platform;

using TVariable = vandrel::platform::test::TEnvironmentVariable;

TEST(Directories, DefaultsAndConfiguredLocations) {
  {
    TVariable System("VANDREL_SYSTEM_DIR", nullptr), Windows("VANDREL_WINDOWS_DIR", ""),
        Temp("TMPDIR", nullptr);
    EXPECT_EQ(SystemDirectory(), "/usr/bin");
    EXPECT_EQ(WindowsDirectory(), "/etc");
    EXPECT_EQ(TempDirectory(), "/tmp");
  }
  TVariable System("VANDREL_SYSTEM_DIR", "/opt/mssql/bin/"), Windows("VANDREL_WINDOWS_DIR", "/srv/win"),
      Temp("TMPDIR", "/var/tmp//");
  EXPECT_EQ(SystemDirectory(), "/opt/mssql/bin");
  EXPECT_EQ(WindowsDirectory(), "/srv/win");
  EXPECT_EQ(TempDirectory(), "/var/tmp");
  TVariable Root("TMPDIR", "/");
  EXPECT_EQ(TempDirectory(), "/");
}

TEST(Directories, CurrentDirectoryChangesAndReportsFailure) {
  std::string Start = CurrentDirectory();
  ASSERT_FALSE(Start.empty());
  namespace fs = std::filesystem;
  fs::path Deep = fs::temp_directory_path() / "vandrel-dirs-test";
  for (int I = 0; I < 40; ++I) Deep /= "a-rather-long-directory-name";  // beyond 260 and 1024
  fs::create_directories(Deep);
  ASSERT_TRUE(SetCurrentDirectory(Deep.string()));
  EXPECT_EQ(CurrentDirectory(), fs::canonical(Deep).string());
  EXPECT_FALSE(SetCurrentDirectory(""));
  EXPECT_FALSE(SetCurrentDirectory("/nonexistent/vandrel"));
  EXPECT_TRUE(SetCurrentDirectory(Start));
  fs::remove_all(fs::temp_directory_path() / "vandrel-dirs-test");
  EXPECT_EQ(CurrentDirectory(), Start);
}
