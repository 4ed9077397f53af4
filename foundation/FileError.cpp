#include "foundation/FileError.h"

#include <cerrno>

#include "foundation/CustomFile.h"
#include "foundation/Trim.h"

namespace vandrel {

namespace {

struct TCodeText {
  int From, To;
  const char* Polish;
  const char* English;
};

constexpr TCodeText kCodeTexts[] = {
    {101, 101, "Plik nie jest otwarty. Operacja niemożliwa w tym stanie.",
     "File is not open. Operation impossible in current state."},
    {102, 102, "Plik jest otwarty tylko do odczytu. Operacja niemożliwa w tym stanie.",
     "File is open for reading only. Operation impossible in current state."},
    {103, 103, "Plik jest otwarty. Operacja niemożliwa w tym stanie.",
     "File is open. Operation impossible in current state."},
    {104, 104, "Błąd otwarcia pliku.", "File opening error."},
    {105, 105, "Nie można było zmienić ścieżki pliku.", "File path could not be set."},
    {106, 106, "Nie można było zmienić własności Tylko Do Odczytu",
     "Read-Only file property could not be changed."},
    {107, 107, "Nie można było zmienić własności Plik Swobodnego Dostępu.",
     "Random Access file property could not be changed."},
    {108, 108, "Nie można było przesunąć wskaźnika pliku.", "File pointer could not be set."},
    {109, 109, "Błąd zapisu do pliku.", "File write error."},
    {110, 110, "Niepełny zapis do pliku.", "File write could not be completed."},
    {111, 111, "Błąd odczytu z pliku.", "File read error."},
    {112, 112, "Błąd czyszczenia bufora wyjściowego pliku.", "File output buffer flush error."},
    {113, 113, "Nie można było przesunąć znacznika końca pliku.", "End-Of-File could not be set"},
    // The fixed-length record file's codes.
    {201, 201, "Błąd kodowania rekordu pliku", "File record coding error"},
    {211, 215, "Błąd dekodowania rekordu pliku", "File record decoding error"},
    {251, 252, "Indeks rekordu pliku poza zakresem", "File record index out of range"},
    {253, 255, "Błąd odczytu rekordu pliku", "File record read error"},
};

AnsiString LineIfAny(const char* Label, const AnsiString& Text) {
  return Trim(Text).empty() ? AnsiString() : Label + Text + "\r\n";
}

}  // namespace

EMFileError::EMFileError(const TMCustomFile* File, const Exception* Inner, int Code)
    : EMException(Inner), FCode(Code) {
  if (File) {
    FType = File->ClassName();
    FObject = File->Name;
    FPath = File->GetPath();
  }
  AfterConstruction();
}

AnsiString EMFileError::MacCode() const { return "F/" + std::to_string(FCode); }

AnsiString EMFileError::MacMessage() const {
  return ByLanguage("Błąd operacji we/wy na pliku", "File i/o operation error");
}

AnsiString EMFileError::CodeText(int Code) {
  for (const TCodeText& T : kCodeTexts)
    if (Code >= T.From && Code <= T.To) return ByLanguage(T.Polish, T.English);
  return {};
}

AnsiString EMFileError::MacDescription() const {
  return LineIfAny("Type: ", FType) + LineIfAny("Object: ", FObject) + LineIfAny("Path: ", FPath) +
         CodeText(FCode);
}

std::unique_ptr<EMException> EMFileError::Clone() const {
  return std::make_unique<EMFileError>(nullptr, nullptr, 0);
}

void EMFileError::Assign(const EMException* Source) {
  if (auto* File = dynamic_cast<const EMFileError*>(Source)) {
    FCode = File->FCode;
    FType = File->FType;
    FObject = File->FObject;
    FPath = File->FPath;
  }
  EMException::Assign(Source);
}

void EMFileError::Generate(const TMCustomFile* File, int Code, std::string_view ApiFunction) {
  const int SystemError = errno;
  if (Trim(ApiFunction).empty()) throw EMFileError(File, nullptr, Code);
  const EMWin32LastError Cause(SystemError, AnsiString(ApiFunction));
  throw EMFileError(File, &Cause, Code);
}

}  // namespace vandrel
