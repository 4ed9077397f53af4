#include "platform/OdbcSourceName.h"

#include <sqlext.h>
#include <strings.h>

namespace vandrel::platform {

std::string OdbcSourceNameProblem(const std::string& Name) {
  const std::string Quoted = "Nazwa źródła danych ODBC \"" + Name + "\"";
  if (Name.empty()) return "Nazwa źródła danych ODBC jest pusta";
  if (Name.front() == ' ' || Name.back() == ' ' || Name.front() == '\t' || Name.back() == '\t') {
    return Quoted + " zaczyna się lub kończy odstępem, którego pliki ODBC nie przechowują";
  }
  if (Name.size() > SQL_MAX_DSN_LENGTH) {
    return Quoted + " ma " + std::to_string(Name.size()) + " bajtów; menedżer ODBC przyjmuje najwyżej " +
           std::to_string(SQL_MAX_DSN_LENGTH);
  }
  if (Name.find_first_of("[]") != std::string::npos) return Quoted + " nie może zawierać nawiasów kwadratowych";
  if (Name.find('=') != std::string::npos) return Quoted + " nie może zawierać znaku \"=\"";
  for (unsigned char C : Name) {
    if (C < 0x20 || C == 0x7f) return Quoted + " zawiera znak sterujący";
  }
  if (strcasecmp(Name.c_str(), "ODBC Data Sources") == 0) return Quoted + " jest nazwą listy źródeł danych";
  return "";
}

std::string FreeTdsSourceName(const std::string& Name) {
  std::string Read;
  for (unsigned char C : Name) {
    if (C < 0x80) {
      Read += static_cast<char>(C);
    } else {  // U+0080..U+00FF in UTF-8
      Read += static_cast<char>(0xC0 | (C >> 6));
      Read += static_cast<char>(0x80 | (C & 0x3F));
    }
  }
  return Read;
}

}  // namespace vandrel::platform
