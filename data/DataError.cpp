#include "data/DataError.h"

#include <string>

#include "foundation/ClassChain.h"

namespace vandrel {

namespace {

// One row of the description table: the fixed parts before and after the parameter text,
// in both languages; a row without a parameter has empty "after" parts and Param false.
struct TMDataErrorText {
  int First;
  int Last;
  bool Param;
  const char* EnglishBefore;
  const char* EnglishAfter;
  const char* PolishBefore;
  const char* PolishAfter;
};

constexpr TMDataErrorText Texts[] = {
    {301, 322, true, "Field '", "' type conversion error", "Błąd konwersji typu pola '", "'"},
    {331, 331, false, "Null DataSet for field", "", "Pole nie przypisane do obiektu DataSet", ""},
    {332, 332, true, "Field name '", "' contains illegal characters", "Nazwa pola '",
     "' zawiera niedozwolone znaki"},
    {333, 333, true, "Field name '", "' begins with illegal character", "Nazwa pola '",
     "' rozpoczyna się od niedozwolonego znaku"},
    {334, 334, true, "Field name '", "' already used in this field list", "Nazwa pola '",
     "' już została użyta w tej liście pól"},
    {335, 335, false, "Field was not added to field list", "", "Pole nie zostało dodane do listy",
     ""},
    {336, 336, true, "Field index ", " out of bounds", "Indeks pola ",
     " znajduje się poza zakresem listy pól"},
    {337, 337, true, "Field with name '", "' was not found", "Nie znaleziono pola o nazwie ", ""},
    {338, 338, true, "Field with internal index ", " was not found",
     "Nie znaleziono pola o wewnętrznym indeksie ", ""},
    {341, 341, false, "Data set is not active. Illegal operation", "",
     "DataSet nie jest aktywny. Operacja niedozwolona w tym stanie", ""},
    {342, 342, false, "Data set is active. Illegal operation", "",
     "DataSet jest aktywny. Operacja niedozwolona w tym stanie", ""},
    {343, 343, false, "Data set is empty. Illegal operation", "",
     "DataSet jest pusty. Operacja niedozwolona w tym stanie", ""},
    {344, 344, false, "Data set is read-only. Illegal operation", "",
     "DataSet przeznaczony tylko do odczytu. Operacja niedozwolona w tym stanie", ""},
    {345, 345, false, "Data set is in updating mode. Illegal operation", "",
     "DataSet jest w trybie aktualizacji. Operacja niedozwolona w tym stanie", ""},
    {346, 346, true, "Custom data storage not implemented in class '", "'",
     "Dane użytkownika nie mogą być przechowywane w klasie '", "'"},
    {347, 347, false,
     "Events required for sorting not assigned (OnCacheCurrentValue and OnCompareCurrentValue)",
     "",
     "Nie przypisano procedur obsługi potrzebnych do sortowania (OnCacheCurrentValue i "
     "OnCompareCurrentValue)",
     ""},
    {348, 348, false, "Event required for searching not assigned (OnCompareCurrentValue)", "",
     "Nie przypisano procedury obsługi potrzebnej do wyszukiwania (OnCompareCurrentValue)", ""},
    {351, 372, true, "Parameter '", "' type conversion error", "Błąd konwersji typu parametru '",
     "'"},
    {381, 381, true, "Parameter name '", "' contains illegal characters", "Nazwa parametru '",
     "' zawiera niedozwolone znaki"},
    {382, 382, true, "Parameter name '", "' begins with illegal character", "Nazwa parametru '",
     "' rozpoczyna się od niedozwolonego znaku"},
    {383, 383, true, "Parameter name '", "' already used in this parameter list",
     "Nazwa parametru '", "' już została użyta w tej liście parametrów"},
    {384, 384, false, "Parameter was not added to parameter list", "",
     "Parametr nie został dodany do listy", ""},
    {385, 385, true, "Parameter index ", " out of bounds", "Indeks parametru ",
     " znajduje się poza zakresem listy parametrów"},
    {386, 386, true, "Parameter with name '", "' was not found", "Nie znaleziono parametru o nazwie '",
     "'"},
    {387, 387, false, "Parameters are not supported", "", "Parametery nie są obsługiwane", ""},
    {391, 391, false, "Database link not established. Illegal operation for this state", "",
     "Brak połączenia z bazą danych. Operacja niedozwolona w tym stanie", ""},
    {392, 392, false, "Already in a database transaction", "",
     "Trwa transakcja. Nie można otworzyć kolejnej transakcji", ""},
    {393, 393, false, "Not in a database transaction", "",
     "Transakcja nie została rozpoczęta. Nie można zamknąć transakcji", ""},
    {396, 397, false, "Database link not assigned or not connected", "",
     "Połączenie do bazy danych nie zostało przypisane lub nie jest otwarte", ""},
    {398, 398, false, "Parameterized update not implemented by used link", "",
     "Używany link nie implementuje parametryzowanych poleceń", ""},
    {1301, 1301, false, "Backup sequence error", "", "Błąd sekwencji backupu", ""},
    {1302, 1302, false, "Backup file unknown format", "", "Nieznany format pliku backup", ""},
    {1303, 1303, false, "No place in backup block for field definitions", "",
     "Brak miejsca w bloku backupu na definicje pól", ""},
    {1304, 1304, false, "No place in backup block for field values", "",
     "Brak miejsca w bloku backupu na wartości pól", ""},
    {1305, 1305, false, "Backup block header error", "", "Błąd nagłówka bloku backupu", ""},
    {1306, 1306, false, "Backup block data error", "", "Błąd danych bloku backupu", ""},
    {1307, 1307, false, "Backup block data unreadable", "",
     "Danych bloku backupu nie można odczytać", ""},
};

}  // namespace

EMDataError::EMDataError(int ACode, AnsiString AText, const Exception* Inner)
    : EMException(Inner), Code(ACode), Text(std::move(AText)) {
  AfterConstruction();
}

AnsiString EMDataError::MacCode() const { return "DT/" + std::to_string(Code); }

AnsiString EMDataError::MacMessage() const {
  return ByLanguage("Błąd operacji na danych", "Data management error");
}

AnsiString EMDataError::MacDescription() const {
  const bool English = Language == 1;
  for (const TMDataErrorText& T : Texts) {
    if (Code < T.First || Code > T.Last) continue;
    AnsiString Result = English ? T.EnglishBefore : T.PolishBefore;
    if (T.Param) Result += Text;
    Result += English ? T.EnglishAfter : T.PolishAfter;
    return Result;
  }
  return AnsiString();
}

std::unique_ptr<EMException> EMDataError::Clone() const {
  return std::make_unique<EMDataError>(Code, Text);
}

void EMDataError::Assign(const EMException* Source) {
  // Own fields first: the base Assign may free Source when it sits in this chain.
  if (IsNameOfObjectParentClass(Source, "EMDataError", true)) {
    const auto* S = static_cast<const EMDataError*>(Source);
    Code = S->Code;
    Text = S->Text;
  }
  EMException::Assign(Source);
}

}  // namespace vandrel
