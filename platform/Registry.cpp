#include "platform/Registry.h"

#include "foundation/MacError.h"
#include "platform/FreeTdsConf.h"
#include "platform/OdbcRegistry.h"
#include "platform/RegKeyName.h"
#include "platform/RegStore.h"

namespace vandrel::platform {

namespace {

void CheckText(const AnsiString& Text, const char* What, const AnsiString& Key) {
  if (Text.find_first_of(std::string("\r\n\0", 3)) != AnsiString::npos) {
    throw EMRegistryError(std::string(What) + " \"" + Text + "\" klucza " + Key +
                          " zawiera znak końca wiersza lub znak zerowy, których rejestr nie przechowa");
  }
}

const TRegPath& AliasKey() {
  static const TRegPath Path = [] {
    TRegPath P;
    SplitRegPath(kClientAliasKey, P);
    return P;
  }();
  return Path;
}

}  // namespace

TRegistry::TRegistry(HKEY Root) : FRoot(Root) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY Root) {
  CloseKey();
  FRoot = Root;
}

TRegPath TRegistry::Split(const AnsiString& Key) const {
  TRegPath Path;
  if (!SplitRegPath(Key, Path) || Key.find('\0') != AnsiString::npos) {
    throw EMRegistryError("Niepoprawna nazwa klucza " + std::string(RootKeyName(FRoot)) + "\\" + Key);
  }
  return Path;
}

std::unique_ptr<TRegistryBackend> TRegistry::BackendFor(const TRegPath& Path) const {
  if (TOdbcRegistry::Covers(Path)) return std::make_unique<TOdbcRegistry>(FRoot);
  return std::make_unique<TRegStore>(FRoot);
}

bool TRegistry::OpenKey(const AnsiString& Key, bool CanCreate) {
  CloseKey();
  TRegPath Path = Split(Key);
  auto Backend = BackendFor(Path);
  if (!(CanCreate ? Backend->CreateKey(Path) : Backend->KeyExists(Path))) return false;
  FPath = std::move(Path);
  FBackend = std::move(Backend);
  FReadOnly = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& Key) {
  if (!OpenKey(Key, false)) return false;
  FReadOnly = true;
  return true;
}

bool TRegistry::KeyExists(const AnsiString& Key) {
  const TRegPath Path = Split(Key);
  return BackendFor(Path)->KeyExists(Path);
}

bool TRegistry::DeleteKey(const AnsiString& Key) {
  const TRegPath Path = Split(Key);
  if (FBackend && Path.size() == FPath.size() && RegPathStartsWith(Path, FPath)) CloseKey();
  return BackendFor(Path)->DeleteKey(Path);
}

bool TRegistryBackend::DeleteKey(const TRegPath& Path) {
  throw EMRegistryError("Klucza " + JoinRegPath(Path) + " nie można usunąć z tego magazynu rejestru");
}

void TRegistry::CloseKey() {
  FBackend.reset();
  FPath.clear();
  FReadOnly = false;
}

AnsiString TRegistry::GetCurrentPath() const { return JoinRegPath(FPath); }

TRegistryBackend& TRegistry::OpenBackend(const char* Operation) const {
  if (!FBackend) throw EMRegistryError(std::string(Operation) + ": żaden klucz rejestru nie jest otwarty");
  return *FBackend;
}

bool TRegistry::ValueExists(const AnsiString& Name) { return OpenBackend("ValueExists").ValueExists(FPath, Name); }

AnsiString TRegistry::ReadString(const AnsiString& Name) {
  return OpenBackend("ReadString").ReadString(FPath, Name).value_or("");
}

TRegistryBackend& TRegistry::WritableBackend(const char* Operation) const {
  TRegistryBackend& Backend = OpenBackend(Operation);
  if (FReadOnly) throw EMRegistryError(std::string(Operation) + ": klucz " + FullPath() + " otwarto tylko do odczytu");
  return Backend;
}

AnsiString TRegistry::FullPath() const { return std::string(RootKeyName(FRoot)) + "\\" + GetCurrentPath(); }

void TRegistry::WriteString(const AnsiString& Name, const AnsiString& Value) {
  TRegistryBackend& Backend = WritableBackend("WriteString");
  CheckText(Name, "Nazwa wartości", FullPath());
  CheckText(Value, "Wartość", FullPath());
  Backend.WriteString(FPath, Name, Value);
  if (FRoot == HKEY_LOCAL_MACHINE && FPath.size() == 5 && RegPathStartsWith(FPath, AliasKey())) {
    FollowClientAlias(Name, Value);
  }
}

bool TRegistry::DeleteValue(const AnsiString& Name) { return WritableBackend("DeleteValue").DeleteValue(FPath, Name); }

void TRegistry::GetValueNames(std::vector<AnsiString>& Names) {
  Names = OpenBackend("GetValueNames").ValueNames(FPath);
}

}  // namespace vandrel::platform
