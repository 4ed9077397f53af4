#pragma once
// Shared pieces of the data library's tests: regional settings, a Polish collation, a
// dataset with one field of each type, and a recorder of interface notifications.

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "data/DataError.h"
#include "data/DataInterface.h"
#include "data/DataSet.h"
#include "platform/base/Collation.h"
#include "platform/base/RegionalSettings.h"
#include "platform/base/tests/PolishLocale.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace vandrel::test {

#if defined(__SANITIZE_ADDRESS__)
// glibc's newlocale keeps the list it makes of LOCPATH; only the tests set LOCPATH.
using TLocPathLeakIgnored = __lsan::ScopedDisabler;
#else
struct TLocPathLeakIgnored {};
#endif

// Polish-like settings with the given decimal separator, short date "dd.MM.yy" and long
// time "HH:mm:ss".
inline platform::TRegionalSettings Settings(char DecimalSeparator) {
  platform::TRegionalSettings S = platform::TRegionalSettings::Polish();
  S.DecimalSeparator = DecimalSeparator;
  S.DateSeparator = '.';
  S.ShortDateFormat = "dd.MM.yy";
  S.LongTimeFormat = "HH:mm:ss";
  return S;
}

// Makes pl_PL.UTF-8 the collation locale, compiling it into a temporary folder when the
// machine has not installed it (declare a TLocPathLeakIgnored before calling it). False when
// that is impossible.
inline bool UsePolishCollation() {
  if (platform::SetCollationLocale("pl_PL.UTF-8")) return true;
  const std::string Compiled = platform::test::PolishLocalePath();
  if (Compiled.empty()) return false;
  const std::string Path = Compiled + ":/usr/lib/locale";
  setenv("LOCPATH", Path.c_str(), 1);
  return platform::SetCollationLocale("pl_PL.UTF-8");
}

// A TMDataSet with the fields S (string), I (integer), F (float), X (extended) and
// D (date-time), in that order.
inline void AddFiveFields(TMCustomDataSet& DS) {
  const std::pair<const char*, TMFieldType> Fields[] = {
      {"S", mftString}, {"I", mftInteger}, {"F", mftFloat}, {"X", mftExtended}, {"D", mftDateTime}};
  for (const auto& [Name, Type] : Fields) {
    TMField* Field = DS.GetFields()->Add();
    Field->SetName(Name);
    Field->SetType(Type);
  }
}

// The code of the EMDataError that Action raises, 0 when it raises none.
inline int CodeOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const EMDataError& E) {
    return E.Code;
  }
  return 0;
}

// Opens DS with one new record.
inline void OpenWithOneRecord(TMDataSet& DS) {
  DS.Open();
  DS.Append();
}

// Opens DS with one integer field K holding the given keys, one record each.
inline void FillKeys(TMDataSet& DS, const std::vector<int>& Keys) {
  DS.GetFields()->Add()->SetName("K");
  DS.FieldByName("K")->SetType(mftInteger);
  DS.Open();
  for (int K : Keys) {
    DS.Append();
    DS.FieldByName("K")->SetAsInteger(K);
  }
}

// Records every notification an interface receives, as (action, parameter) pairs.
class TNotificationLog {
 public:
  explicit TNotificationLog(TMCustomDataSet* DataSet) : FInterface(nullptr, nullptr) {
    FInterface.OnNotify = [this](TMDataInterface*, TMDataInterfaceAction Action, int Param) {
      Entries.emplace_back(Action, Param);
    };
    FInterface.SetDataSet(DataSet);
    Entries.clear();
  }
  int Count(TMDataInterfaceAction Action) const {
    int N = 0;
    for (const auto& E : Entries) N += E.first == Action;
    return N;
  }
  TMDataInterface& Interface() { return FInterface; }

  std::vector<std::pair<TMDataInterfaceAction, int>> Entries;

 private:
  TMDataInterface FInterface;
};

}  // namespace vandrel::test
