#pragma once
// The failures of TdtTools, shared by its formatting and its parsing.
#include <string>

#include "foundation/Exception.h"

namespace vandrel::tdt {

inline Exception DateEncodeError() {
  return Exception("[TdtTools] Nieprawidłowy argument kodowania daty");
}

inline Exception TimeEncodeError() {
  return Exception("[TdtTools] Nieprawidłowy argument kodowania czasu");
}

inline Exception FormatCreateError() { return Exception("[TdtTools] Błąd tworzenia formatu daty"); }

inline Exception ConversionUnsupported(int Format) {
  return Exception("[TdtTools] Konwersja według formatu " + std::to_string(Format) +
                   " nie jest obsługiwana");
}

}  // namespace vandrel::tdt
