#include "foundation/MacError.h"

#include <cxxabi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "foundation/ClassChain.h"
#include "foundation/Trim.h"

namespace vandrel {

namespace {

// The process-wide translator list, created on first use with the classic translator.
std::vector<TMExceptionTranslator>& Translators() {
  static std::vector<TMExceptionTranslator> List{&ClassicExceptionTranslator};
  return List;
}

// Class E or one of its ancestors is named Name (tested by name, as the design does).
bool IsOfClass(const TObject* E, std::string_view Name) { return IsNameOfObjectParentClass(E, Name, true); }

// strerror_r comes in a GNU form (returns the text) and a POSIX form (fills the buffer).
[[maybe_unused]] AnsiString ErrorTextOf(const char* Result, const char*, int) { return Result; }
[[maybe_unused]] AnsiString ErrorTextOf(int Result, const char* Buffer, int Code) {
  return Result == 0 ? AnsiString(Buffer) : "Unknown error " + std::to_string(Code);
}

AnsiString SystemErrorText(int Code) {
  char Buffer[256] = {};
  return ErrorTextOf(strerror_r(Code, Buffer, sizeof Buffer), Buffer, Code);
}

AnsiString TypeNameOf(const std::exception& E) {
  const char* Mangled = typeid(E).name();
  int Status = 0;
  char* Demangled = abi::__cxa_demangle(Mangled, nullptr, nullptr, &Status);
  AnsiString Name = Status == 0 && Demangled ? Demangled : Mangled;
  std::free(Demangled);
  return Name;
}

}  // namespace

// ---- EMException -------------------------------------------------------------------------

EMException::EMException(const Exception* Inner) {
  if (Inner) FInner = ToEMException(Inner);
  AfterConstruction();
}

EMException::EMException(const EMException& Source)
    : Exception(Source),
      FAborted(Source.FAborted),
      FInner(Source.FInner ? DeepCopy(*Source.FInner) : nullptr),
      FComposedBy(Source.FComposedBy) {}

EMException& EMException::operator=(const EMException& Source) {
  if (this == &Source) return *this;
  // Copy the chain first: Source may live inside the chain being replaced.
  auto Inner = Source.FInner ? DeepCopy(*Source.FInner) : nullptr;
  Exception::operator=(Source);
  FAborted = Source.FAborted;
  FComposedBy = Source.FComposedBy;
  FInner = std::move(Inner);
  return *this;
}

EMException::~EMException() {
  // Unlink the chain one link at a time, so that a long chain does not recurse deeply.
  auto Next = std::move(FInner);
  while (Next) {
    auto After = std::move(Next->FInner);
    Next = std::move(After);
  }
}

void EMException::AfterConstruction() {
  AnsiString Code = GetCode();
  Message = Code.empty() ? MacMessage() : "[" + Code + "] " + MacMessage();
  FComposedBy = ClassName();
}

bool EMException::GetConstructionComplete() const {
  return FComposedBy && std::strcmp(FComposedBy, ClassName()) == 0;
}

void EMException::AdoptInner(std::unique_ptr<EMException> Inner) { FInner = std::move(Inner); }

AnsiString EMException::ByLanguage(const char* Polish, const char* English) {
  return Language == 1 ? English : Polish;
}

TMacIconKind EMException::MacIcon() const { return micError; }

AnsiString EMException::MacTitle() const {
  switch (MacIcon()) {
    case micWarning:
    case micQuestion:
      return ByLanguage("Uwaga", "Warning");
    case micInformation:
      return ByLanguage("Informacja", "Information");
    default:
      return ByLanguage("Wystąpił błąd", "Error");
  }
}

AnsiString EMException::MacCode() const { return {}; }

AnsiString EMException::MacMessage() const {
  return FAborted ? ByLanguage("Operacja została przerwana", "Operation aborted")
                  : ByLanguage("Nieznany wyjątek", "Unknown exception");
}

AnsiString EMException::MacDescription() const { return {}; }

std::unique_ptr<EMException> EMException::Clone() const { return std::make_unique<EMException>(); }

void EMException::Assign(const EMException* Source) {
  if (!Source) return;
  // Copy the chain before dropping ours: Source may be part of it (or this object itself).
  auto Inner = Source->FInner ? DeepCopy(*Source->FInner) : nullptr;
  Message = Source->Message;
  FAborted = Source->FAborted;
  FInner = std::move(Inner);
}

std::unique_ptr<EMException> EMException::DeepCopy(const EMException& E) {
  auto Copy = E.Clone();
  Copy->Assign(&E);
  return Copy;
}

int EMException::GetTopicCount() const {
  int Count = 1;
  for (const EMException* E = FInner.get(); E; E = E->FInner.get()) ++Count;
  return Count;
}

const EMException* EMException::GetTopics(int Index) const {
  if (Index < 0) return nullptr;
  const EMException* E = this;
  for (; E && Index > 0; --Index) E = E->FInner.get();
  return E;
}

EMException* EMException::GetTopics(int Index) {
  return const_cast<EMException*>(static_cast<const EMException*>(this)->GetTopics(Index));
}

std::unique_ptr<EMException> EMException::ToEMException(const Exception* E) {
  if (!E) return nullptr;
  if (IsOfClass(E, "EMException"))
    if (auto* Own = dynamic_cast<const EMException*>(E)) return DeepCopy(*Own);
  // A copy of the list: a translator may register or unregister translators.
  const std::vector<TMExceptionTranslator> List = Translators();
  for (TMExceptionTranslator Translator : List)
    if (auto Result = Translator(E)) return Result;
  auto Result = std::make_unique<EMException>();
  // The message is already composed, so an aborted result keeps "Nieznany wyjątek".
  if (std::string_view(E->ClassName()) == "EAbort") Result->FAborted = true;
  Result->Message += "\r\n" + E->Message;
  return Result;
}

std::unique_ptr<EMException> EMException::ToEMException(const std::exception& E) {
  if (auto* Framework = dynamic_cast<const Exception*>(&E)) return ToEMException(Framework);
  return std::make_unique<EMClassicException>(TypeNameOf(E), E.what());
}

void EMException::RegisterExceptionTranslator(TMExceptionTranslator Translator) {
  auto& List = Translators();
  if (!Translator) return;
  for (TMExceptionTranslator Known : List)
    if (Known == Translator) return;
  List.insert(List.begin(), Translator);
}

void EMException::UnregisterExceptionTranslator(TMExceptionTranslator Translator) {
  std::erase(Translators(), Translator);
}

void EMException::UnregisterAllExceptionTranslators() { Translators().clear(); }

std::unique_ptr<EMException> ClassicExceptionTranslator(const Exception* E) {
  if (IsOfClass(E, "EAbort")) return nullptr;
  if (IsOfClass(E, "EDBEditError")) return std::make_unique<EMMaskEditError>();
  if (IsOfClass(E, "ERegistryException")) return std::make_unique<EMRegistryError>(E->Message);
  return std::make_unique<EMClassicException>(E);
}

// ---- EMToolsError ------------------------------------------------------------------------

EMToolsError::EMToolsError(int Code, AnsiString Text, const Exception* Inner)
    : EMException(Inner), FCode(Code), FText(std::move(Text)) {
  AfterConstruction();
}

AnsiString EMToolsError::MacCode() const { return "TOOLS/" + std::to_string(FCode); }

AnsiString EMToolsError::MacMessage() const {
  return ByLanguage("Błąd narzędzi podstawowych", "Basic tools error");
}

std::unique_ptr<EMException> EMToolsError::Clone() const {
  return std::make_unique<EMToolsError>(0, AnsiString(), nullptr);
}

void EMToolsError::Assign(const EMException* Source) {
  // Own fields first: the base Assign may free Source when it sits in this chain.
  if (auto* Tools = dynamic_cast<const EMToolsError*>(Source)) {
    FCode = Tools->FCode;
    FText = Tools->FText;
  }
  EMException::Assign(Source);
}

// ---- EMClassicException ------------------------------------------------------------------

EMClassicException::EMClassicException(const Exception* E) : EMException(nullptr) {
  if (E) {
    auto* Classic = IsOfClass(E, "EMClassicException") ? dynamic_cast<const EMClassicException*>(E)
                                                           : nullptr;
    if (Classic) {
      Assign(Classic);
    } else {
      FClassName = E->ClassName();
      FWrappedMessage = E->Message;
    }
  }
  AfterConstruction();
}

EMClassicException::EMClassicException(AnsiString ClassName, AnsiString WrappedMessage)
    : EMException(nullptr), FClassName(std::move(ClassName)), FWrappedMessage(std::move(WrappedMessage)) {
  AfterConstruction();
}

AnsiString EMClassicException::MacMessage() const {
  return ByLanguage("Błąd aplikacji", "Application error") + "\r\n" + FWrappedMessage;
}

std::unique_ptr<EMException> EMClassicException::Clone() const {
  return std::make_unique<EMClassicException>(nullptr);
}

void EMClassicException::Assign(const EMException* Source) {
  if (auto* Classic = dynamic_cast<const EMClassicException*>(Source)) {
    FClassName = Classic->FClassName;
    FWrappedMessage = Classic->FWrappedMessage;
  }
  EMException::Assign(Source);
}

// ---- EMRegistryError ---------------------------------------------------------------------

EMRegistryError::EMRegistryError(AnsiString Details) : EMException(nullptr), FDetails(std::move(Details)) {
  AfterConstruction();
}

AnsiString EMRegistryError::MacMessage() const {
  return ByLanguage("Błąd zapisu lub odczytu rejestru", "Registry read or write error");
}

AnsiString EMRegistryError::MacDescription() const {
  AnsiString Text = ByLanguage(
      "Błąd operacji na rejestrze systemu.\r\n"
      "Przyczyną może być brak uprawnień do modyfikacji części rejestru "
      "lub typ danych inny niż aplikacja zakłada podczas odczytu. "
      "Sprawdź czy zalogowany użytkownik systemu Windows posiada uprawnienia administratora.\r\n",
      "Registry operation error.\r\n");
  if (!Trim(FDetails).empty()) Text += ByLanguage("Więcej szczegółów:\r\n", "More details:\r\n");
  return Text + FDetails;
}

std::unique_ptr<EMException> EMRegistryError::Clone() const {
  return std::make_unique<EMRegistryError>(FDetails);
}

// ---- EMMaskEditError ---------------------------------------------------------------------

EMMaskEditError::EMMaskEditError() : EMException(nullptr) { AfterConstruction(); }

AnsiString EMMaskEditError::MacMessage() const {
  return ByLanguage("Błąd wprowadzania tekstu", "Text input error");
}

AnsiString EMMaskEditError::MacDescription() const {
  return ByLanguage("Wprowadzony tekst jest niezgodny z wymaganym formatem",
                    "Text is incompatible with used format");
}

std::unique_ptr<EMException> EMMaskEditError::Clone() const { return std::make_unique<EMMaskEditError>(); }

// ---- EMWin32LastError --------------------------------------------------------------------

EMWin32LastError::EMWin32LastError(int ErrorCode, AnsiString ApiFunction)
    : EMException(nullptr), FErrorCode(ErrorCode), FApiFunction(std::move(ApiFunction)) {
  AfterConstruction();
}

AnsiString EMWin32LastError::MacCode() const { return "L/" + std::to_string(FErrorCode); }

AnsiString EMWin32LastError::MacMessage() const {
  return ByLanguage("Błąd wywołania funkcji API Win32", "Win32 API function call error");
}

AnsiString EMWin32LastError::MacDescription() const {
  char Hex[16];
  std::snprintf(Hex, sizeof Hex, "%08X", static_cast<unsigned>(FErrorCode));
  AnsiString Text = AnsiString("Error: 0x") + Hex + "\r\n";
  if (!Trim(FApiFunction).empty()) Text += "API Function: " + FApiFunction + "\r\n";
  return Text + "Message: " + SystemErrorText(FErrorCode);
}

std::unique_ptr<EMException> EMWin32LastError::Clone() const {
  return std::make_unique<EMWin32LastError>(0, AnsiString());
}

void EMWin32LastError::Assign(const EMException* Source) {
  if (auto* Last = dynamic_cast<const EMWin32LastError*>(Source)) {
    FErrorCode = Last->FErrorCode;
    FApiFunction = Last->FApiFunction;
  }
  EMException::Assign(Source);
}

void EMWin32LastError::Generate(std::string_view ApiFunction) {
  const int Code = errno;
  throw EMWin32LastError(Code, AnsiString(ApiFunction));
}

}  // namespace vandrel
