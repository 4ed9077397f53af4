// The value tools against the plainest standard code doing the same job: number and date
// text, SQL string literals, date parsing and text search (which decodes UTF-8 so that a
// Polish letter is one character), with and without regard to case. After the usual table,
// each figure is printed as a ratio to its baseline measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cwchar>
#include <cwctype>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "foundation/TdtTools.h"
#include "foundation/TfTools.h"
#include "foundation/TxTools.h"
#include "platform/base/RegionalSettings.h"

namespace {

using namespace vandrel;

const std::string kText = "Sklep \"Pod Żółwiem\", ul. O'Briena 12\r\nŁódź, zażółć gęślą jaźń";
constexpr double kNumber = 1234567.891;
constexpr TDateTime kWhen = 45356.58829913;  // 2024-03-05 14:07:09.045

void NumberToolsSql(benchmark::State& S) {
  for (auto _ : S) benchmark::DoNotOptimize(TfTools(kNumber).ToDBField(0, 12));
}
void NumberToChars(benchmark::State& S) {
  for (auto _ : S) {
    char Buffer[64];
    auto End = std::to_chars(Buffer, Buffer + sizeof Buffer, kNumber, std::chars_format::fixed, 12);
    benchmark::DoNotOptimize(std::string(Buffer, End.ptr));
  }
}

void LiteralTools(benchmark::State& S) {
  for (auto _ : S) benchmark::DoNotOptimize(TxTools(kText).ToDBField(-1));
}
void LiteralByteLoop(benchmark::State& S) {
  for (auto _ : S) {
    std::string Out = "'";
    for (char C : kText) {
      if (C == '\'') Out += '\'';
      Out += C;
    }
    benchmark::DoNotOptimize(Out += "'");
  }
}

void DateTextTools(benchmark::State& S) {
  for (auto _ : S) benchmark::DoNotOptimize(TdtTools(kWhen).ToString(fmtDateTimeCompressed));
}
void DateTextStrftime(benchmark::State& S) {
  const std::time_t When = 1709647629;
  for (auto _ : S) {
    std::tm Parts{};
    gmtime_r(&When, &Parts);
    char Buffer[32];
    std::size_t N = std::strftime(Buffer, sizeof Buffer, "%Y%m%d%H%M%S", &Parts);
    benchmark::DoNotOptimize(std::string(Buffer, N) + "045");
  }
}

void DateParseTools(benchmark::State& S) {
  platform::TRegionalSettingsGuard Polish(platform::TRegionalSettings::Polish());
  for (auto _ : S) benchmark::DoNotOptimize(TdtTools(0).FromString("05.03.2024", fmtDate).Value);
}
void DateParseStrptime(benchmark::State& S) {
  for (auto _ : S) {
    std::tm Parts{};
    benchmark::DoNotOptimize(strptime("05.03.2024", "%d.%m.%Y", &Parts));
    benchmark::DoNotOptimize(Parts);
  }
}

// Both searches answer the same question, the character index of the match, so the
// baseline counts the characters before the bytes it found; neither copies the text inside
// the loop.
const std::string kSought = "jaźń";
void FindTools(benchmark::State& S) {
  const TxTools Text(kText);
  for (auto _ : S) benchmark::DoNotOptimize(Text.FindStr(kSought, false, 0));
}
void FindUtf8Aware(benchmark::State& S) {
  for (auto _ : S) {
    const std::size_t At = kText.find(kSought);
    const auto Before = kText.begin() + static_cast<std::ptrdiff_t>(At == std::string::npos ? 0 : At);
    benchmark::DoNotOptimize(std::count_if(kText.begin(), Before, [](char C) { return (C & 0xC0) != 0x80; }));
  }
}
// Without regard to case: the baseline decodes both texts to wide characters and folds them
// with the C library (a UTF-8 locale), then searches.
void FindToolsIgnoringCase(benchmark::State& S) {
  const TxTools Text(kText);
  for (auto _ : S) benchmark::DoNotOptimize(Text.FindStr("JAŹŃ", true, 0));
}
std::wstring FoldedWide(const std::string& Text) {
  std::wstring Out(Text.size(), L'\0');
  std::mbstate_t State{};
  const char* From = Text.c_str();
  Out.resize(std::mbsrtowcs(Out.data(), &From, Out.size(), &State));
  for (wchar_t& C : Out) C = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(C)));
  return Out;
}
void FindWideFolded(benchmark::State& S) {
  const char* Current = std::setlocale(LC_CTYPE, nullptr);
  const std::string Was = Current ? Current : "C";
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) S.SkipWithError("no C.UTF-8 locale");
  for (auto _ : S) benchmark::DoNotOptimize(FoldedWide(kText).find(FoldedWide("JAŹŃ")));
  std::setlocale(LC_CTYPE, Was.c_str());
}

struct TPair {
  const char* Name;
  void (*Tool)(benchmark::State&);
  const char* BaselineName;
  void (*Baseline)(benchmark::State&);
};

const TPair kPairs[] = {
    {"TfTools::ToDBField", NumberToolsSql, "to_chars fixed", NumberToChars},
    {"TxTools::ToDBField", LiteralTools, "quote-doubling loop", LiteralByteLoop},
    {"TdtTools::ToString(13)", DateTextTools, "gmtime_r+strftime", DateTextStrftime},
    {"TdtTools::FromString(0)", DateParseTools, "strptime", DateParseStrptime},
    {"TxTools::FindStr", FindTools, "find + character count", FindUtf8Aware},
    {"TxTools::FindStr (case)", FindToolsIgnoringCase, "mbsrtowcs+towlower+find", FindWideFolded},
};

class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& Runs) override {
    ConsoleReporter::ReportRuns(Runs);
    for (const Run& R : Runs) Times[R.benchmark_name()] = R.GetAdjustedCPUTime();
  }
  std::map<std::string, double> Times;
};

}  // namespace

int main(int argc, char** argv) {
  for (const TPair& P : kPairs) {
    benchmark::RegisterBenchmark(P.BaselineName, P.Baseline);
    benchmark::RegisterBenchmark(P.Name, P.Tool);
  }
  benchmark::Initialize(&argc, argv);
  TRatioReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  std::printf("\nRatios to the baseline (CPU time / baseline CPU time; below 1 is faster):\n");
  for (const TPair& P : kPairs) {
    auto Own = Reporter.Times.find(P.Name), Base = Reporter.Times.find(P.BaselineName);
    if (Own == Reporter.Times.end() || Base == Reporter.Times.end()) continue;
    std::printf("  %-26s %8.2f x %s\n", P.Name, Own->second / Base->second, P.BaselineName);
  }
  benchmark::Shutdown();
  return 0;
}
