#pragma once
// datetime values as SQL Server keeps them (days since 1900-01-01, 1/300 s ticks) and their
// text forms: the data set's "YYYY-MM-DD hh:mm:ss[.mmm]" and CONVERT's styles.
#include <ctime>
#include <optional>
#include <string>

#include "Engine.h"

namespace msde {

// "YYYY-MM-DD[ hh:mm[:ss[.fff]]]", "YYYYMMDD", a 'T' in place of the blank; nullopt if the
// text is no such date or lies outside 1753-01-01 .. 9999-12-31.
std::optional<SqlDateTime> ParseDateTime(const std::string& text);
// "YYYY-MM-DD hh:mm:ss.mmm" (style 121), the data set's form.
std::string DateTimeText(SqlDateTime value);
// CONVERT(varchar, value, style) for the styles SQL Server 2000 knows; nullopt for others.
std::optional<std::string> FormatDateTime(SqlDateTime value, int style);
// A datetime rounded to the minute as smalldatetime holds it (29.998 s down, 29.999 up);
// nullopt outside 1900-01-01 00:00 .. 2079-06-06 23:59.
std::optional<SqlDateTime> ToSmallDateTime(SqlDateTime value);
SqlDateTime FromTimeT(std::time_t when);  // local time, as the server's clock reads
SqlDateTime NowDateTime();

}  // namespace msde
