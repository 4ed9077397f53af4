#include "platform/VersionInfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace vandrel::platform {
namespace {

TEST(VersionInfo, TheProgramsOwnFileCarriesTheBuildVersion) {
  const std::string Self = ModuleFileName();
  ASSERT_FALSE(Self.empty());
  EXPECT_EQ(Self.front(), '/');
  const auto Info = TFileVersionInfo::Read(Self);
  ASSERT_TRUE(Info.has_value());
  EXPECT_EQ(Info->GetTranslation(), 0x04B00415u);
  EXPECT_EQ(Info->QueryValue("\\StringFileInfo\\041504b0\\FileVersion"), VANDREL_TEST_PROJECT_VERSION);
  EXPECT_EQ(Info->QueryValue("\\StringFileInfo\\041504B0\\productversion"), VANDREL_TEST_PROJECT_VERSION);
  EXPECT_EQ(Info->QueryValue("\\StringFileInfo\\041504b0\\ProductName"), "Vandrel");
  EXPECT_EQ(Info->QueryValue("\\StringFileInfo\\041504b0\\Comments"), std::nullopt);
  EXPECT_EQ(Info->QueryValue("\\StringFileInfo\\040904b0\\FileVersion"), std::nullopt);  // other translation
  EXPECT_EQ(Info->QueryValue("\\StringFileInfo\\041504b0\\"), std::nullopt);

  // The same file by another path is still the program.
  const auto Link = std::filesystem::temp_directory_path() / ("vandrel-self-" + std::to_string(getpid()));
  std::filesystem::create_symlink(Self, Link);
  EXPECT_TRUE(TFileVersionInfo::Read(Link.string()).has_value());
  std::filesystem::remove(Link);
}

TEST(VersionInfo, OtherFilesHaveNoVersionInformation) {
  EXPECT_FALSE(TFileVersionInfo::Read("/bin/sh").has_value());
  EXPECT_FALSE(TFileVersionInfo::Read("/no/such/file.exe").has_value());
  EXPECT_FALSE(TFileVersionInfo::Read("").has_value());
}

}  // namespace
}  // namespace vandrel::platform
