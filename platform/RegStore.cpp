#include "platform/RegStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/MacError.h"
#include "platform/Environment.h"
#include "platform/FileTransaction.h"
#include "platform/FileSystem.h"
#include "platform/RegKeyName.h"

namespace vandrel::platform {

namespace {

std::string PathText(const TRegPath& Path) { return Path.empty() ? "(główny)" : JoinRegPath(Path); }

}  // namespace

std::string RegistryStoreFile(HKEY Root) {
  const std::string Name = std::string(RootKeyName(Root)) + ".reg";
  const std::string Dir = EnvironmentValue("VANDREL_REGISTRY_DIR");
  if (!Dir.empty()) return Dir + "/" + Name;
  if (Root == HKEY_LOCAL_MACHINE) return "/etc/vandrel/" + Name;
  std::string Config = EnvironmentValue("XDG_CONFIG_HOME");
  if (Config.empty() || Config.front() != '/') Config = HomeDirectory() + "/.config";  // as XDG says
  return Config + "/vandrel/" + Name;
}

TRegStore::TRegStore(HKEY Root) : TRegStore(Root, RegistryStoreFile(Root)) {}

TRegStore::TRegStore(HKEY Root, std::string FileName) : FRoot(Root), FFileName(std::move(FileName)) {}

TRegDocument TRegStore::Load() const {
  bool Exists = false;
  const std::string Text = ReadFileText(FFileName, &Exists);
  return Exists && !Text.empty() ? Parse(Text) : TRegDocument(RootKeyName(FRoot));
}

TRegDocument TRegStore::Parse(const std::string& Text) const {
  try {
    return TRegDocument::Parse(Text, RootKeyName(FRoot));
  } catch (const TRegParseError& E) {
    throw EMRegistryError("Uszkodzony magazyn rejestru " + FFileName + ", wiersz " + std::to_string(E.Line) +
                          ": " + E.what() + ". Plik nie zostanie zapisany, dopóki nie zostanie poprawiony.");
  }
}

void TRegStore::Update(const std::function<bool(TRegDocument&)>& Change) {
  ChangeFileText(FFileName, "magazynu rejestru", [&](std::string& Text) {
    TRegDocument Doc = Text.empty() ? TRegDocument(RootKeyName(FRoot)) : Parse(Text);
    if (!Change(Doc)) return false;
    Text = Doc.Serialise();
    return true;
  });
}

bool TRegStore::KeyExists(const TRegPath& Path) { return Load().KeyExists(Path); }

bool TRegStore::CreateKey(const TRegPath& Path) {
  if (KeyExists(Path)) return true;
  Update([&](TRegDocument& Doc) { return !Doc.KeyExists(Path) && Doc.CreateKey(Path); });
  return true;
}

bool TRegStore::ValueExists(const TRegPath& Path, const std::string& Name) {
  return Load().FindValue(Path, Name) != nullptr;
}

std::optional<std::string> TRegStore::ReadString(const TRegPath& Path, const std::string& Name) {
  const TRegDocument Doc = Load();
  const TRegLine* Line = Doc.FindValue(Path, Name);
  if (!Line) return std::nullopt;
  if (Line->Type != "string") {
    throw EMRegistryError("Wartość \"" + Name + "\" klucza " + PathText(Path) + " w " + FFileName +
                          " nie jest tekstem (typ " + Line->Type + ")");
  }
  return Line->Text;
}

std::vector<std::string> TRegStore::ValueNames(const TRegPath& Path) { return Load().ValueNames(Path); }

void TRegStore::WriteString(const TRegPath& Path, const std::string& Name, const std::string& Value) {
  Update([&](TRegDocument& Doc) { return Doc.SetString(Path, Name, Value); });
}

bool TRegStore::DeleteValue(const TRegPath& Path, const std::string& Name) {
  bool Deleted = false;
  Update([&](TRegDocument& Doc) { return Deleted = Doc.DeleteValue(Path, Name); });
  return Deleted;
}

}  // namespace vandrel::platform
