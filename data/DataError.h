#pragma once
// The data-access library's error: misuse of fields, datasets, parameters, links and
// transactions, and failed value conversions. The number identifies the failure; the text
// shown is derived from it in the chosen language, with one parameter text (a field or
// parameter name, an index, a class name, or nothing) inserted.
#include <memory>

#include "foundation/MacError.h"

namespace vandrel {

// The error numbers raised by fields and datasets (the converters use 301-322).
namespace dterr {
inline constexpr int NullDataSet = 331;
inline constexpr int IllegalNameChars = 332;
inline constexpr int IllegalNameStart = 333;
inline constexpr int NameAlreadyUsed = 334;
inline constexpr int FieldNotAdded = 335;
inline constexpr int FieldIndexOutOfBounds = 336;
inline constexpr int FieldNameNotFound = 337;
inline constexpr int FieldDSIndexNotFound = 338;
inline constexpr int NotActive = 341;
inline constexpr int Active = 342;
inline constexpr int Empty = 343;
inline constexpr int ReadOnly = 344;
inline constexpr int Updating = 345;
inline constexpr int NoUserData = 346;
inline constexpr int NoSortEvents = 347;
inline constexpr int NoSearchEvent = 348;
}  // namespace dterr

class EMDataError : public EMException {
  VANDREL_CLASS(EMDataError, EMException)
 public:
  EMDataError(int Code, AnsiString Text, const Exception* Inner = nullptr);

  TMacIconKind MacIcon() const override { return micError; }
  AnsiString MacCode() const override;
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override;
  std::unique_ptr<EMException> Clone() const override;
  void Assign(const EMException* Source) override;

  int Code;
  AnsiString Text;
};

}  // namespace vandrel
