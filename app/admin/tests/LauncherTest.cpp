// The launcher with real programs in a temporary directory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/admin/Launcher.h"
#include "app/tests/ScriptedDialogs.h"
#include "testkit/TempDir.h"

namespace vandrel::app::testing {
namespace {

class LauncherTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TestApplication(); }
  void SetUp() override { Dir = std::make_unique<msde::testkit::TempDir>("vandrel-launch"); }
  std::string Script(const std::string& Name, const std::string& Body) {
    const std::string path = Dir->Path() + "/" + Name;
    std::ofstream(path) << "#!/bin/sh\n" << Body << "\n";
    chmod(path.c_str(), 0755);
    return path;
  }
  static std::string Read(const std::string& Path) {
    std::ifstream in(Path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  ScriptedDialogs Dialogs;
  std::unique_ptr<msde::testkit::TempDir> Dir;
};

TEST_F(LauncherTest, WaitingRunsInTheProgramsDirectoryAndComesBack) {
  const std::string prog = Script("prog", "pwd > gdzie");
  admin::TLauncher launcher;
  launcher.Launch(prog, prog, "");
  EXPECT_EQ(Read(Dir->Path() + "/gdzie"), Dir->Path() + "\n");
  EXPECT_FALSE(launcher.Busy);
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  EXPECT_EQ(std::string(here), admin::ProgramDirectory());
  EXPECT_TRUE(Dialogs.Messages.empty());
}

// A Windows program started through Wine runs in its own directory, not in Wine's.
TEST_F(LauncherTest, AProgramStartedThroughWineRunsInItsOwnDirectory) {
  std::filesystem::create_directories(Dir->Path() + "/bin");
  std::filesystem::create_directories(Dir->Path() + "/Reinstal");
  const std::string wine = Dir->Path() + "/bin/wine";
  std::ofstream(wine) << "#!/bin/sh\npwd > '" << Dir->Path() << "/gdzie'\n";
  chmod(wine.c_str(), 0755);
  admin::TLauncher launcher;
  launcher.Launch(wine + " " + Dir->Path() + "/Reinstal/setup.exe", "", "0");
  EXPECT_EQ(Read(Dir->Path() + "/gdzie"), Dir->Path() + "/Reinstal\n");
}

TEST_F(LauncherTest, ChecksDecideSilentlyAndStartFailuresAreReported) {
  const std::string prog = Script("touch-it", "touch \"$(dirname \"$0\")/$1\"");
  admin::TLauncher launcher;
  launcher.Launch(prog + " missing-ok", "!" + Dir->Path() + "/nothing", "");
  EXPECT_TRUE(std::filesystem::exists(Dir->Path() + "/missing-ok"));
  launcher.Launch(prog + " refused", "!" + prog, "");
  launcher.Launch(prog + " refused2", Dir->Path() + "/nothing", "");
  EXPECT_FALSE(std::filesystem::exists(Dir->Path() + "/refused"));
  EXPECT_FALSE(std::filesystem::exists(Dir->Path() + "/refused2"));
  EXPECT_TRUE(Dialogs.Messages.empty()) << "a failed check says nothing";

  // A busy launcher refuses a second waiting launch, but not one that returns at once.
  launcher.Busy = true;
  launcher.Launch(prog + " busy", "", "0");
  EXPECT_FALSE(std::filesystem::exists(Dir->Path() + "/busy"));
  launcher.Busy = false;

  std::ofstream(Dir->Path() + "/plain.txt") << "no program\n";
  launcher.Launch(Dir->Path() + "/plain.txt", "", "1");
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Błąd uruchomienia programu: " + Dir->Path() + "/plain.txt");
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Duplant");
  EXPECT_EQ(Dialogs.Messages[0].Icon, MsgIcon::Error);
}

TEST_F(LauncherTest, ModeOneReturnsWhileTheProgramRuns) {
  const std::string fifo = Dir->Path() + "/gate";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // The mark is made only after the gate is read: a redirection would create it as the program starts.
  const std::string prog = Script("wait-gate", "read x < \"$(dirname \"$0\")/gate\"; touch \"$(dirname \"$0\")/done\"");
  admin::TLauncher launcher;
  launcher.Launch(prog, "", "1");  // would block forever if it waited: nobody writes the gate yet
  EXPECT_FALSE(std::filesystem::exists(Dir->Path() + "/done"));
  std::ofstream(fifo) << "x";
}

}  // namespace
}  // namespace vandrel::app::testing
