#pragma once
// Rows a data set declares by number instead of listing them ("generate": N in a table), so
// that a table of a million rows needs no huge file: each value follows from its row number.
#include <cstdint>
#include <nlohmann/json.hpp>

#include "Engine.h"

namespace msde {

// The value of Column in generated row N (from 1) as a data set would write it: integers
// N (within the type's range), float N / 4, a decimal N / 100 at the column's scale, a
// date-time N minutes after 2020-01-01, text "<column> N" cut to the column's length; null
// for the types it does not make.
nlohmann::json GeneratedCell(const ColumnInfo& Column, int64_t N);

}  // namespace msde
