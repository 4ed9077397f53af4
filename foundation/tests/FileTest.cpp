// The file components against real files: state rules and their wrapped errors, system
// failures with the system's error inside, 64-bit positions, line reading, string-list
// transfer across buffer boundaries, and the log file with several threads.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "foundation/File.h"
#include "foundation/FileError.h"
#include "foundation/Logfile.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel {
namespace {

namespace fs = std::filesystem;

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("vandrel-file-" + std::to_string(getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  AnsiString PathOf(const char* Name) const { return (Dir / Name).string(); }
  static std::string Content(const AnsiString& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
  }
  static void Put(const AnsiString& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary) << Bytes;
  }

  fs::path Dir;
};

// The file error an action raises, with the code of the error inside (0 for none).
template <class Action>
std::pair<int, int> FileCodes(Action Run) {
  try {
    Run();
  } catch (const EMFileError& E) {
    auto* Inner = dynamic_cast<const EMFileError*>(E.GetInner());
    return {E.GetFileCode(), Inner ? Inner->GetFileCode() : 0};
  }
  return {0, 0};
}

TEST_F(FileTest, StateRulesRaiseWrappedErrorsNamingTheFile) {
  TMFile F;
  F.Name = "Dziennik";
  F.SetPath(PathOf("a.txt"));
  EXPECT_EQ(FileCodes([&] { F.Write("x", 1); }), std::make_pair(109, 101));
  EXPECT_EQ(FileCodes([&] { F.Flush(); }), std::make_pair(112, 101));
  char C;
  EXPECT_EQ(FileCodes([&] { F.Read(&C, 1); }), std::make_pair(111, 101));
  EXPECT_EQ(FileCodes([&] { F.SetPointer(0); }), std::make_pair(108, 101));
  EXPECT_EQ(F.GetPointer(), 0);
  EXPECT_EQ(F.GetSize(), 0);

  F.Open();
  F.Open();  // already open: nothing
  EXPECT_EQ(FileCodes([&] { F.SetPath(PathOf("b.txt")); }), std::make_pair(105, 103));
  F.SetPath(PathOf("a.txt"));  // the same path: allowed while open
  EXPECT_EQ(FileCodes([&] { F.SetReadOnly(true); }), std::make_pair(106, 103));
  EXPECT_EQ(FileCodes([&] { F.SetRandomAccess(true); }), std::make_pair(107, 103));
  F.Close();

  F.SetReadOnly(true);
  F.Open();
  EXPECT_EQ(FileCodes([&] { F.Write("x", 1); }), std::make_pair(109, 102));
  EXPECT_EQ(FileCodes([&] { F.SetEof(); }), std::make_pair(113, 102));
  try {
    F.Write("x", 1);
  } catch (const EMFileError& E) {
    EXPECT_EQ(E.Message, "[F/109] Błąd operacji we/wy na pliku");
    EXPECT_EQ(E.GetDescription(), "Type: TMFile\r\nObject: Dziennik\r\nPath: " + PathOf("a.txt") +
                                      "\r\nBłąd zapisu do pliku.");
    EXPECT_EQ(E.GetTopics(1)->GetDescription(),
              "Type: TMFile\r\nObject: Dziennik\r\nPath: " + PathOf("a.txt") +
                  "\r\nPlik jest otwarty tylko do odczytu. Operacja niemożliwa w tym stanie.");
    EXPECT_EQ(E.GetTitle(), "Uwaga");
  }
}

TEST_F(FileTest, ErrorTextsInBothLanguagesAndEmptyLinesLeftOut) {
  EMFileError Polish(nullptr, nullptr, 113);
  EXPECT_EQ(Polish.GetDescription(), "Nie można było przesunąć znacznika końca pliku.");
  EXPECT_EQ(EMFileError(nullptr, nullptr, 212).GetDescription(), "Błąd dekodowania rekordu pliku");
  EXPECT_EQ(EMFileError(nullptr, nullptr, 150).GetDescription(), "");
  EMException::Language = 1;
  EMFileError English(nullptr, nullptr, 106);
  EXPECT_EQ(English.Message, "[F/106] File i/o operation error");
  EXPECT_EQ(English.GetDescription(), "Read-Only file property could not be changed.");
  EMException::Language = 0;
  // A copy keeps the file's names and code.
  TMFile F;
  F.SetPath("  ");
  EMFileError Named(&F, nullptr, 101);
  auto Copy = EMException::DeepCopy(Named);
  EXPECT_EQ(Copy->GetDescription(), "Type: TMFile\r\n" + EMFileError::CodeText(101));
  EXPECT_TRUE(Copy->GetConstructionComplete());
}

TEST_F(FileTest, SystemFailuresCarryTheSystemErrorInside) {
  TMFile F;
  F.SetPath(PathOf("missing.txt"));
  F.SetReadOnly(true);
  try {
    F.Open();
    FAIL() << "opened a missing file read-only";
  } catch (const EMFileError& E) {
    EXPECT_EQ(E.GetFileCode(), 104);
    auto* Cause = dynamic_cast<const EMWin32LastError*>(E.GetInner());
    ASSERT_NE(Cause, nullptr);
    EXPECT_EQ(Cause->GetErrorCode(), ENOENT);
    EXPECT_EQ(Cause->GetApiFunction(), "CreateFile");
  }
  EXPECT_FALSE(F.GetActive());
  EXPECT_FALSE(fs::exists(PathOf("missing.txt")));

  // Read-write opening creates the file; a full device fails the write itself.
  F.SetReadOnly(false);
  F.Open();
  EXPECT_TRUE(fs::exists(PathOf("missing.txt")));
  F.Close();
  TMFile Full;
  Full.SetPath("/dev/full");
  Full.Open();
  try {
    Full.Write("abc", 3);
    FAIL() << "a write to /dev/full succeeded";
  } catch (const EMFileError& E) {
    EXPECT_EQ(E.GetFileCode(), 109);
    auto* Cause = dynamic_cast<const EMWin32LastError*>(E.GetInner());
    ASSERT_NE(Cause, nullptr);
    EXPECT_EQ(Cause->GetErrorCode(), ENOSPC);
    EXPECT_EQ(Cause->GetApiFunction(), "WriteFile");
  }
  EXPECT_EQ(FileCodes([] { EMFileError::Generate(nullptr, 108, " "); }), std::make_pair(108, 0));
}

TEST_F(FileTest, WriteStoppedPartwayIsIncomplete) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit Old{};
  getrlimit(RLIMIT_FSIZE, &Old);
  rlimit Limit = Old;
  Limit.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Limit), 0);
  TMFile F;
  F.SetPath(PathOf("limited.bin"));
  F.Open();
  const std::string Bytes(300, 'x');
  const auto Codes = FileCodes([&] { F.Write(Bytes.data(), 300); });
  setrlimit(RLIMIT_FSIZE, &Old);
  EXPECT_EQ(Codes.first, 110);
  EXPECT_EQ(F.GetSize(), 100);
}

TEST_F(FileTest, SecondWriterIsRefusedReadersShare) {
  TMFile Writer, Other, Reader1, Reader2;
  for (TMFile* F : {&Writer, &Other, &Reader1, &Reader2}) F->SetPath(PathOf("shared.txt"));
  Writer.Open();
  EXPECT_EQ(FileCodes([&] { Other.Open(); }).first, 104);
  Writer.Close();
  Reader1.SetReadOnly(true);
  Reader2.SetReadOnly(true);
  Reader1.Open();
  Reader2.Open();
  EXPECT_EQ(FileCodes([&] { Other.Open(); }).first, 104);
}

TEST_F(FileTest, PositionsAndSizesBeyondFourGigabytes) {
  TMFile F;
  F.SetPath(PathOf("sparse.bin"));
  F.SetRandomAccess(true);
  F.Open();
  const std::int64_t Far = (std::int64_t{5} << 30) + 7;
  F.SetPointer(Far);
  EXPECT_EQ(F.GetPointer(), Far);
  F.Write("z", 1);
  EXPECT_EQ(F.GetSize(), Far + 1);
  F.SetPointer(Far - 1);
  char Two[2] = {1, 1};
  EXPECT_EQ(F.Read(Two, 2), 2);
  EXPECT_EQ(Two[0], 0);
  EXPECT_EQ(Two[1], 'z');
  EXPECT_EQ(F.Read(Two, 2), 0);
  F.SetPointer(3);
  F.SetEof();
  EXPECT_EQ(F.GetSize(), 3);
  EXPECT_EQ(FileCodes([&] { F.SetPointer(-1); }).first, 108);
}

TEST_F(FileTest, ReadLineTakesEachEndCharacterOnce) {
  Put(PathOf("lines.txt"), std::string("a\r\n\nb", 5));
  TMFile F;
  F.SetPath(PathOf("lines.txt"));
  F.SetReadOnly(true);
  F.Open();
  AnsiString Line;
  ASSERT_TRUE(F.ReadLine(Line));
  EXPECT_EQ(Line, "a");
  ASSERT_TRUE(F.ReadLine(Line));
  EXPECT_EQ(Line, "");
  ASSERT_TRUE(F.ReadLine(Line));
  EXPECT_EQ(Line, "b");
  EXPECT_FALSE(F.ReadLine(Line));
  F.Close();

  // Lines longer than one piece, an end split across pieces, the byte 0 and a custom end.
  const std::string Long(300, 'q');
  Put(PathOf("long.txt"), Long + "\r\n" + std::string(255, 'w') + "\r\n" + std::string("x\0y|z|", 6));
  F.SetPath(PathOf("long.txt"));
  F.Open();
  ASSERT_TRUE(F.ReadLine(Line));
  EXPECT_EQ(Line, Long);
  ASSERT_TRUE(F.ReadLine(Line));
  EXPECT_EQ(Line, std::string(255, 'w'));
  ASSERT_TRUE(F.ReadLine(Line));
  EXPECT_EQ(Line, "x");
  ASSERT_TRUE(F.ReadLine(Line, "|"));
  EXPECT_EQ(Line, "y");
  ASSERT_TRUE(F.ReadLine(Line, "|"));
  EXPECT_EQ(Line, "z");
  EXPECT_FALSE(F.ReadLine(Line, "|"));
}

TEST_F(FileTest, StringListsRoundTripAcrossBufferSizes) {
  const std::vector<AnsiString> Lines{"pierwsza", "", "zażółć gęślą jaźń", std::string(100, 'L'), "ostatnia"};
  std::string Expected;
  for (const AnsiString& L : Lines) Expected += L + "\r\n";
  for (int Size : {0, -5, 10, 64, 100, 70000}) {
    Put(PathOf("list.txt"), std::string(500, '#'));  // longer: must be truncated
    TMFile::WriteStringsToFile(PathOf("list.txt"), Lines, Size);
    EXPECT_EQ(Content(PathOf("list.txt")), Expected) << Size;
    std::vector<AnsiString> Back{"stale"};
    TMFile::ReadStringsFromFile(PathOf("list.txt"), Back, Size);
    EXPECT_EQ(Back, Lines) << Size;
  }
  EXPECT_EQ(TMFile::ClampBufferSize(10), 64);
  EXPECT_EQ(TMFile::ClampBufferSize(1 << 20), 65536);

  // Every end character ends a line, "\r\n" one; a "\r\n" split by the 64-byte buffer.
  Put(PathOf("ends.txt"), std::string(63, 'a') + "\r\n" + std::string("b\rc\nd\0\n\r\re", 10));
  std::vector<AnsiString> Back;
  TMFile::ReadStringsFromFile(PathOf("ends.txt"), Back, 10);
  EXPECT_EQ(Back, (std::vector<AnsiString>{std::string(63, 'a'), "b", "c", "d", "", "", "", "e"}));
}

TEST_F(FileTest, LogAppendsIndentedLinesTaggedByThread) {
  Put(PathOf("log.txt"), "earlier\r\n");
  TMLogfile Log;
  EXPECT_EQ(Log.GetDTFormat(), fmtDateTimeCompressed);
  Log.SetPath(PathOf("log.txt"));
  EXPECT_EQ(FileCodes([&] { Log.Log("x"); }).first, 101);
  Log.Open();
  Log.Log("pierwsza\r\ndruga");
  Log.Log("trzecia\n");
  Log.Close();
  std::istringstream In(Content(PathOf("log.txt")));
  std::string L1, L2, L3, L4, Rest;
  std::getline(In, L1);
  std::getline(In, L2);
  std::getline(In, L3);
  std::getline(In, L4);
  EXPECT_FALSE(std::getline(In, Rest));
  EXPECT_EQ(L1, "earlier\r");
  const std::string Prefix = "[" + TMLogfile::ThreadTag() + "] ";
  ASSERT_EQ(L2.substr(0, Prefix.size()), Prefix);
  EXPECT_EQ(TMLogfile::ThreadTag().size(), 8u);
  // The stamp has 17 digits, then "> ".
  const std::size_t Width = Prefix.size() + 17 + 2;
  EXPECT_EQ(L2.substr(Width - 2), "> pierwsza\r");
  EXPECT_EQ(L3, std::string(Width, ' ') + "druga\r");
  EXPECT_EQ(L4.substr(Width - 2), "> trzecia\r");
}

TEST_F(FileTest, TwoThreadsLoggingAtOnceKeepTheirLinesTogether) {
  TMLogfile Log;
  Log.SetPath(PathOf("threads.txt"));
  Log.Open();
  constexpr int Count = 200;
  std::string Tags[2];
  auto Worker = [&](int Which) {
    Tags[Which] = TMLogfile::ThreadTag();
    for (int I = 0; I < Count; ++I) Log.Log("wątek " + std::to_string(Which) + "\r\nciąg " + std::to_string(I));
  };
  std::thread A(Worker, 0), B(Worker, 1);
  A.join();
  B.join();
  Log.Close();
  ASSERT_NE(Tags[0], Tags[1]);
  std::istringstream In(Content(PathOf("threads.txt")));
  std::string First, Second;
  int Seen[2] = {0, 0};
  while (std::getline(In, First)) {
    ASSERT_TRUE(std::getline(In, Second));
    const int Which = First.substr(1, 8) == Tags[0] ? 0 : 1;
    EXPECT_EQ(First.substr(1, 8), Tags[Which]);
    const std::size_t Width = First.find("> ") + 2;
    EXPECT_EQ(First.substr(Width), "wątek " + std::to_string(Which) + "\r");
    EXPECT_EQ(Second, std::string(Width, ' ') + "ciąg " + std::to_string(Seen[Which]) + "\r");
    ++Seen[Which];
  }
  EXPECT_EQ(Seen[0], Count);
  EXPECT_EQ(Seen[1], Count);
}

TEST_F(FileTest, LoggingWithFourDigitYearsLeavesOtherThreadsDatesAlone) {
  platform::TRegionalSettings Short = platform::TRegionalSettings::Polish();
  Short.ShortDateFormat = "dd.MM.yy";
  platform::TRegionalSettingsGuard Keep(Short);
  TMLogfile Log;
  Log.SetPath(PathOf("dates.txt"));
  Log.SetDTFormat(fmt4YDateTime);
  Log.Open();
  constexpr int Count = 2000;
  std::thread Logger([&] {
    for (int I = 0; I < Count; ++I) Log.Log("wpis");
  });
  // 2024-03-05 formatted by the user's own two-digit-year pattern meanwhile.
  int Wrong = 0;
  for (int I = 0; I < Count; ++I)
    if (TdtTools(45356.0).ToString(fmtDate) != "05.03.24") ++Wrong;
  Logger.join();
  Log.Close();
  EXPECT_EQ(Wrong, 0);
  EXPECT_EQ(platform::RegionalSettings().ShortDateFormat, "dd.MM.yy");
  std::istringstream In(Content(PathOf("dates.txt")));
  std::string Line;
  ASSERT_TRUE(std::getline(In, Line));
  // "[tag] dd.MM.yyyy hh:nn:ss> wpis": the log's own stamp has the four-digit year.
  EXPECT_EQ(Line.find("> wpis"), 11u + 10 + 1 + 8) << Line;
}

}  // namespace
}  // namespace vandrel
