#include "platform/Process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/WebAddress.h"
#include "platform/tests/TempConfigDir.h"

namespace vandrel::platform {
namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, SplitsWordsAsAShellDoes) {
  const struct {
    std::string Line;
    Words Expected;
  } Cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"/usr/bin/mmc /32 x.msc", {"/usr/bin/mmc", "/32", "x.msc"}},
      {"prog 'a b'  \"c d\" e\\ f", {"prog", "a b", "c d", "e f"}},
      {"prog 'it''s' \"\" ''", {"prog", "its", "", ""}},
      {"prog \"say \\\"hi\\\" \\\\ \\$HOME \\x\"", {"prog", "say \"hi\" \\ $HOME \\x"}},
      {"prog 'no \\escapes \"here\"'", {"prog", "no \\escapes \"here\""}},
      {"prog $HOME ~ *.txt ; rm -rf x", {"prog", "$HOME", "~", "*.txt", ";", "rm", "-rf", "x"}},
      {"prog a\\\nb", {"prog", "ab"}},
      {"pro\"g r\"am", {"prog ram"}},
      {"zażółć 'gęślą jaźń'", {"zażółć", "gęślą jaźń"}},
  };
  for (const auto& C : Cases) {
    Words Got{"stale"};
    EXPECT_TRUE(SplitCommandLine(C.Line, Got)) << C.Line;
    EXPECT_EQ(Got, C.Expected) << C.Line;
  }
  for (const std::string Bad : {"prog 'open", "prog \"open", "prog \"esc\\\"", "prog end\\"}) {
    Words Got{"stale"};
    EXPECT_FALSE(SplitCommandLine(Bad, Got)) << Bad;
    EXPECT_TRUE(Got.empty());
  }
  // Quoting gives any word back unchanged.
  for (const std::string W : {"", "a b", "it's", "\"\\$`", "C:\\Program Files\\x.exe"}) {
    Words Got;
    ASSERT_TRUE(SplitCommandLine("prog " + QuoteCommandWord(W), Got));
    EXPECT_EQ(Got, (Words{"prog", W}));
  }
}

class ProcessTest : public test::TTempConfigDir {};

TEST_F(ProcessTest, WaitingGivesTheExitCode) {
  TChildProcess Ok = TChildProcess::Start("true");
  ASSERT_TRUE(Ok.Started()) << Ok.GetFailureText();
  EXPECT_EQ(Ok.WaitFor(), 0);
  EXPECT_FALSE(Ok.Running());
  EXPECT_EQ(Ok.GetExitCode(), 0);

  TChildProcess Seven = TChildProcess::Start("sh -c 'exit 7'");
  EXPECT_EQ(Seven.WaitFor(), 7);
  EXPECT_EQ(Seven.WaitFor(), 7);  // asking again changes nothing

  TChildProcess Killed = TChildProcess::Start("sh -c 'kill -KILL $$'");
  EXPECT_EQ(Killed.WaitFor(), 128 + SIGKILL);
}

TEST_F(ProcessTest, StartingWithoutWaitingReturnsAtOnce) {
  TChildProcess P = TChildProcess::Start("sleep 60");
  ASSERT_TRUE(P.Started());
  EXPECT_TRUE(P.Running());
  EXPECT_EQ(P.GetExitCode(), kStillActive);
  ASSERT_EQ(kill(P.GetPid(), SIGTERM), 0);
  EXPECT_EQ(P.WaitFor(), 128 + SIGTERM);
}

TEST_F(ProcessTest, QuotedArgumentsArriveWhole) {
  const std::string Out = Dir + "/args";
  TChildProcess P = TChildProcess::Start(
      "sh -c 'for a in \"$@\"; do printf \"<%s>\" \"$a\"; done > \"$0\"' " + QuoteCommandWord(Out) +
      " 'a b' \"c \\\"d\\\"\" e\\ f '' zażółć '$HOME'");
  ASSERT_TRUE(P.Started()) << P.GetFailureText();
  EXPECT_EQ(P.WaitFor(), 0);
  EXPECT_EQ(ReadFile(Out), "<a b><c \"d\"><e f><><zażółć><$HOME>");
}

TEST_F(ProcessTest, RunsInItsWorkingDirectoryAndLeavesOursAlone) {
  const std::string Work = Dir + "/katalog roboczy";
  ASSERT_TRUE(ForceDirectories(Work));
  WriteFile(Work + "/skrypt.sh", "pwd > gdzie\n");
  char Before[4096];
  ASSERT_NE(getcwd(Before, sizeof Before), nullptr);

  TChildProcess P = TChildProcess::Start("sh skrypt.sh", Work);
  ASSERT_TRUE(P.Started()) << P.GetFailureText();
  EXPECT_EQ(P.WaitFor(), 0);
  EXPECT_EQ(ReadFile(Work + "/gdzie"), Work + "\n");
  char After[4096];
  ASSERT_NE(getcwd(After, sizeof After), nullptr);
  EXPECT_STREQ(After, Before);

  // A relative program path is taken from the working directory too.
  WriteFile(Work + "/prog", "#!/bin/sh\nexit 5\n");
  chmod((Work + "/prog").c_str(), 0755);
  EXPECT_EQ(TChildProcess::Start("./prog", Work).WaitFor(), 5);

  // Also when the working directory itself is relative: the program is looked for in it once,
  // not in a directory of the same name inside it.
  ASSERT_EQ(chdir(Dir.c_str()), 0);
  TChildProcess Relative = TChildProcess::Start("./prog", "katalog roboczy");
  EXPECT_TRUE(Relative.Started()) << Relative.GetFailureText();
  EXPECT_EQ(Relative.WaitFor(), 5);
  EXPECT_EQ(TChildProcess::Start("sh skrypt.sh", "katalog roboczy").WaitFor(), 0);
  ASSERT_EQ(chdir(Before), 0);
}

TEST_F(ProcessTest, StartFailuresAreToldApart) {
  WriteFile(Dir + "/plain.txt", "not a program\n");
  WriteFile(Dir + "/noformat", "\x7f" "ELF garbage");
  chmod((Dir + "/noformat").c_str(), 0755);
  const struct {
    std::string Line;
    std::string WorkingDirectory;
    TStartFailure Failure;
  } Cases[] = {
      {"", "", sfEmptyCommandLine},
      {"''", "", sfEmptyCommandLine},
      {"sh -c 'exit", "", sfBadQuoting},
      {"vandrel-no-such-program --help", "", sfProgramNotFound},
      {Dir + "/missing", "", sfProgramNotFound},
      {Dir + "/plain.txt", "", sfNotExecutable},
      {Dir, "", sfNotExecutable},
      {"true", Dir + "/no-such-directory", sfBadWorkingDirectory},
      {"true", Dir + "/plain.txt", sfBadWorkingDirectory},
      {Dir + "/noformat", "", sfSpawnFailed},
  };
  for (const auto& C : Cases) {
    TChildProcess P = TChildProcess::Start(C.Line, C.WorkingDirectory);
    EXPECT_FALSE(P.Started()) << C.Line;
    EXPECT_EQ(P.GetFailure(), C.Failure) << C.Line << ": " << P.GetFailureText();
    EXPECT_FALSE(P.GetFailureText().empty());
    EXPECT_EQ(P.GetExitCode(), -1);
    EXPECT_FALSE(P.Running());
  }
}

TEST_F(ProcessTest, ProgramsAreFoundOnPath) {
  WriteFile(Dir + "/bin/moj-program", "#!/bin/sh\nexit 3\n");
  chmod((Dir + "/bin/moj-program").c_str(), 0755);
  WriteFile(Dir + "/locked/moj-program", "#!/bin/sh\nexit 4\n");
  SetEnv("PATH", Dir + "/locked:" + Dir + "/bin:/usr/bin:/bin");
  // A file of that name that may not be run is passed over, as a shell does.
  EXPECT_EQ(TChildProcess::Start("moj-program").WaitFor(), 3);
  SetEnv("PATH", Dir + "/locked");
  EXPECT_EQ(TChildProcess::Start("moj-program").GetFailure(), sfNotExecutable);
}

TEST_F(ProcessTest, WebAddressesGoToXdgOpenAsOneArgument) {
  WriteFile(Dir + "/bin/xdg-open", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$(dirname \"$0\")/opened\"\n");
  chmod((Dir + "/bin/xdg-open").c_str(), 0755);
  SetEnv("PATH", Dir + "/bin:/usr/bin:/bin");
  const std::string Address = "http://www.quorvel.pl/?a=1&b='x y';rm";
  EXPECT_EQ(StartWebBrowser(Address).WaitFor(), 0);
  EXPECT_EQ(ReadFile(Dir + "/bin/opened"), "1|" + Address);
  SetEnv("PATH", Dir + "/none");
  EXPECT_FALSE(OpenWebAddress(Address));
}

TEST_F(ProcessTest, FilesAndDirectoriesAreCheckedAndMade) {
  WriteFile(Dir + "/plik", "x");
  EXPECT_TRUE(FileExists(Dir + "/plik"));
  EXPECT_FALSE(FileExists(Dir));
  EXPECT_FALSE(FileExists(Dir + "/brak"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(DirectoryExists(Dir));
  EXPECT_FALSE(DirectoryExists(Dir + "/plik"));

  EXPECT_TRUE(CreateDirectory(Dir + "/Logi"));
  EXPECT_FALSE(CreateDirectory(Dir + "/Logi"));  // already there
  EXPECT_FALSE(CreateDirectory(Dir + "/a/b"));   // no parent
  EXPECT_TRUE(ForceDirectories(Dir + "/a/b/c/"));
  EXPECT_TRUE(DirectoryExists(Dir + "/a/b/c"));
  EXPECT_TRUE(ForceDirectories(Dir + "/a/b/c"));
  EXPECT_FALSE(ForceDirectories(Dir + "/plik/d"));
  EXPECT_EQ(errno, ENOTDIR);
}

}  // namespace
}  // namespace vandrel::platform
