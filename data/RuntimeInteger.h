#pragma once
// The runtime's integer parsing: leading blanks, an optional sign, then decimal digits or "$"
// followed by hexadecimal digits, and nothing else; the value must fit a signed 32-bit
// integer.
#include "foundation/Exception.h"

namespace vandrel {

// True and the value when Text is entirely such a number; false (Value 0) otherwise.
bool TryStrToInt(const AnsiString& Text, int& Value);

// The parsed value, or Default when Text is not such a number.
int StrToIntDef(const AnsiString& Text, int Default);

}  // namespace vandrel
