#pragma once
// The value types of fields, result columns and parameters, and the editor metadata kinds.
#include <cstdint>

namespace vandrel {

// Data type of a field, result column or parameter.
enum TMFieldType : std::uint8_t {
  mftString = 0,    // text (UTF-8)
  mftInteger = 1,   // signed 32-bit
  mftFloat = 2,     // double
  mftExtended = 3,  // long double (x87 extended on this platform)
  mftDateTime = 4,  // days since 1899-12-30, the fraction being the time of day
};

// How an editor presents a column; the two check styles make the field a check box.
enum TMEditStyle : std::uint8_t {
  mesStatic = 0,
  mesEdit = 1,
  mesButton = 2,
  mesUpDown = 3,
  mesDrop = 4,
  mesCalendar = 5,
  mesRightCheck = 6,
  mesLeftCheck = 7,
};

enum TMAlignment : std::uint8_t {
  maLeftTop = 0,
  maRightBottom = 1,
  maCenter = 2,
};

// Extended floating-point values of fields.
using Extended = long double;

// Settings of a calendar editor; the field only hands them to OnPrepareCalendar, so their
// meaning belongs to the editor.
struct TMCalendarData {
  int FirstDayOfWeek = 0;
  bool ShowWeekNumbers = false;
  bool ShowToday = true;
  double MinDate = 0.0;
  double MaxDate = 0.0;
};

}  // namespace vandrel
