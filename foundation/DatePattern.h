#pragma once
// Date and time text under the regional settings: formatting by a date pattern, and the
// reading of a short date. The pattern language is described in
// platform/base/RegionalSettings.h.
#include <string>
#include <string_view>

#include "foundation/Exception.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel::datetime {

// Value formatted by Pattern; false when Value is not a date of the calendar.
bool TryFormatDateTime(std::string_view Pattern, TDateTime Value,
                       const platform::TRegionalSettings& Settings, std::string& Result);

// Reads a date written in the order of the settings' short date pattern (day, month and
// year, or month, day and year, or year, month and day) with the settings' date separator
// between the numbers, and blanks around. Two numbers (day and month) mean the current
// year; a year of one or two digits falls within 50 years before or after CurrentYear.
bool TryScanDate(std::string_view Text, const platform::TRegionalSettings& Settings,
                 int CurrentYear, TDateTime& Result);

}  // namespace vandrel::datetime
