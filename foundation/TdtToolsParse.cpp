// TdtTools: reading dates and times from text.
#include <charconv>
#include <string_view>
#include <vector>

#include "foundation/DatePattern.h"
#include "foundation/DateTimeCodec.h"
#include "foundation/TdtTools.h"
#include "foundation/TdtToolsErrors.h"
#include "foundation/Trim.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel {

namespace {

constexpr const char* kWordBlanks = " \t\r\n";

Exception DateInputError(const std::string& Pattern) {
  return Exception("[TdtTools] Błąd wprowadzania daty. Poprawny format: " + Pattern);
}

Exception TimeInputError() {
  return Exception("[TdtTools] Błąd wprowadzania czasu. Poprawny format: HH:MM[:SS[.mmm]]");
}

Exception DateLNInputError() { return DateInputError("YYYY-MM-DD"); }

Exception CompressedInputError() {
  return Exception(
      "[TdtTools] Błąd wprowadzania daty i czasu. Poprawny format: YYYYMMDDHHNNSSmmm");
}

// Text with every character of From replaced by To, then trimmed.
std::string ReplacedAndTrimmed(std::string_view Text, std::string_view From, char To) {
  std::string Result(Text);
  for (char& C : Result)
    if (From.find(C) != std::string_view::npos) C = To;
  return std::string(Trim(Result));
}

std::vector<std::string> Words(std::string_view Text, std::string_view Blanks) {
  std::vector<std::string> Result;
  std::size_t Start = Text.find_first_not_of(Blanks);
  while (Start != std::string_view::npos) {
    std::size_t End = Text.find_first_of(Blanks, Start);
    Result.emplace_back(Text.substr(Start, End - Start));
    Start = End == std::string_view::npos ? End : Text.find_first_not_of(Blanks, End);
  }
  return Result;
}

bool IsDigit(char C) { return C >= '0' && C <= '9'; }

// A whole word read as a (signed) decimal number.
bool ReadInteger(std::string_view Word, int& Value) {
  if (!Word.empty() && Word[0] == '+') Word.remove_prefix(1);
  auto Parsed = std::from_chars(Word.data(), Word.data() + Word.size(), Value);
  return !Word.empty() && Parsed.ec == std::errc() && Parsed.ptr == Word.data() + Word.size();
}

bool HasFourDigits(std::string_view Text) {
  std::size_t Run = 0;
  for (char C : Text) {
    Run = IsDigit(C) ? Run + 1 : 0;
    if (Run == 4) return true;
  }
  return false;
}

int CurrentYear() {
  datetime::TDateTimeParts Now;
  return datetime::TryDecode(datetime::Now(), Now) ? Now.Year : 2000;
}

TDateTime ParseShortDate(std::string_view Text, bool FourDigitYear) {
  const platform::TRegionalSettings& Settings = platform::RegionalSettings();
  const std::string Pattern = FourDigitYear ? TdtTools::Short4YFormat() : Settings.ShortDateFormat;
  std::string Date = ReplacedAndTrimmed(Text, ".-/,", Settings.DateSeparator);
  TDateTime Result = 0;
  if (FourDigitYear && !HasFourDigits(Date)) throw DateInputError(Pattern);
  if (!datetime::TryScanDate(Date, Settings, CurrentYear(), Result)) throw DateInputError(Pattern);
  return Result;
}

// HH:MM[:SS[:mmm]] after ";", ".", ",", "/", "|" and "\" have become ":".
TDateTime ParseTime(std::string_view Text) {
  const std::string Time = ReplacedAndTrimmed(Text, ";.,/|\\", ':');
  static constexpr std::size_t kMaxDigits[4] = {2, 2, 2, 3};
  int Parts[4] = {0, 0, 0, 0};
  std::size_t Count = 0, I = 0;
  while (Count < 4) {
    std::size_t Start = I;
    while (I < Time.size() && IsDigit(Time[I]) && I - Start < kMaxDigits[Count])
      Parts[Count] = Parts[Count] * 10 + (Time[I++] - '0');
    if (I == Start) throw TimeInputError();
    ++Count;
    if (I == Time.size()) break;
    if (Time[I] != ':' || Count == 4) throw TimeInputError();
    ++I;
  }
  if (Count < 2) throw TimeInputError();
  TDateTime Result = 0;
  if (!datetime::TryEncodeTime(Parts[0], Parts[1], Parts[2], Parts[3], Result))
    throw tdt::TimeEncodeError();
  return Result;
}

TDateTime ParseDateTime(std::string_view Text, bool FourDigitYear) {
  std::vector<std::string> Parts = Words(Trim(Text), " \t");
  if (Parts.size() >= 2) {
    if (!FourDigitYear) throw tdt::ConversionUnsupported(fmtTime);
    return datetime::CombineDateTime(ParseShortDate(Parts[0], true), ParseTime(Parts[1]));
  }
  std::string Word = Parts.empty() ? std::string() : Parts[0];
  if (!FourDigitYear) return ParseShortDate(Word, false);
  try {
    return ParseTime(Word);
  } catch (const Exception&) {
    return ParseShortDate(Word, true);
  }
}

// "Mar 5 2024": the month by the beginning of its English name, the day, the year.
TDateTime ParseCompileDate(std::string_view Text) {
  std::vector<std::string> Parts = Words(Text, kWordBlanks);
  Parts.resize(std::max<std::size_t>(Parts.size(), 3));
  std::string Month = Parts[0];
  for (char& C : Month)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 0x20);
  static constexpr std::string_view kPrefixes[12] = {"JA",  "F",   "MAR", "AP", "MAY", "JUN",
                                                     "JUL", "AU",  "S",   "O",  "N",   "D"};
  int MonthNumber = 0;
  for (int M = 0; M < 12 && MonthNumber == 0; ++M)
    if (std::string_view(Month).starts_with(kPrefixes[M])) MonthNumber = M + 1;
  int Day = 0, Year = 0;
  if (!ReadInteger(Parts[1], Day)) Day = 0;
  if (!ReadInteger(Parts[2], Year)) Year = 0;
  if (MonthNumber == 0 || Day == 0 || Year < 1900)
    throw Exception("[TdtTools] Błąd formatu daty");
  TDateTime Result = 0;
  if (!datetime::TryEncodeDate(Year, MonthNumber, Day, Result)) throw tdt::DateEncodeError();
  return Result;
}

// "2024-03-05", with any of "-_=+.,/|\" between the numbers, and two-digit years.
TDateTime ParseDateLN(std::string_view Text) {
  std::vector<std::string> Parts =
      Words(ReplacedAndTrimmed(Text, "-_=+.,/|\\", ' '), kWordBlanks);
  int Year = 0, Month = 0, Day = 0;
  if (Parts.size() < 3 || !ReadInteger(Parts[0], Year) || !ReadInteger(Parts[1], Month) ||
      !ReadInteger(Parts[2], Day))
    throw DateLNInputError();
  if (Year < 70)
    Year += 2000;
  else if (Year < 100)
    Year += 1900;
  TDateTime Result = 0;
  if (Year < 1900 || Month < 1 || Month > 12 || Day < 1 || Day > 31 ||
      !datetime::TryEncodeDate(Year, Month, Day, Result))
    throw DateLNInputError();
  return Result;
}

// "YYYYMMDD[HHNN[SS[mmm]]]" after whatever comes before the first digit.
TDateTime ParseCompressed(std::string_view Text) {
  std::size_t I = 0;
  while (I < Text.size() && !IsDigit(Text[I])) ++I;
  auto Take = [&](std::size_t Count, int& Value) {
    if (Text.size() - I < Count) return false;
    int Result = 0;
    for (std::size_t K = 0; K < Count; ++K) {
      if (!IsDigit(Text[I + K])) return false;
      Result = Result * 10 + (Text[I + K] - '0');
    }
    Value = Result;
    I += Count;
    return true;
  };
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, MSec = 0;
  TDateTime Date = 0, Time = 0;
  if (!Take(4, Year) || !Take(2, Month) || !Take(2, Day) ||
      !datetime::TryEncodeDate(Year, Month, Day, Date))
    throw CompressedInputError();
  if (!Take(2, Hour) || !Take(2, Minute)) return Date;  // an hour alone adds no time
  if (Take(2, Second)) Take(3, MSec);
  if (!datetime::TryEncodeTime(Hour, Minute, Second, MSec, Time)) throw CompressedInputError();
  return datetime::CombineDateTime(Date, Time);
}

}  // namespace

TdtTools& TdtTools::FromString(const AnsiString& Text, TdtFormat Format) {
  switch (Format) {
    case fmtDate: Value = ParseShortDate(Text, false); break;
    case fmt4YDate: Value = ParseShortDate(Text, true); break;
    case fmtTimeHM:
    case fmtTimeHMS:
    case fmtTimeHMSms: Value = ParseTime(Text); break;
    case fmtDateTime: Value = ParseDateTime(Text, false); break;
    case fmt4YDateTime: Value = ParseDateTime(Text, true); break;
    case fmtCompileDate: Value = ParseCompileDate(Text); break;
    case fmtDateLN: Value = ParseDateLN(Text); break;
    case fmtDateTimeCompressed: Value = ParseCompressed(Text); break;
    default: throw tdt::ConversionUnsupported(Format);
  }
  return *this;
}

}  // namespace vandrel
