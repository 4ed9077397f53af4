#pragma once
// The registry store of one root: a ".reg" file that an administrator can carry to a Windows
// workstation and import. Every change takes the store's lock (so that two programs writing
// at once do not lose each other's values), reads the file again, changes it and replaces it
// atomically (a temporary file renamed over it). A store that cannot be read as a ".reg" file
// is never written: the operation fails naming the file and the line.
#include <functional>
#include <string>

#include "platform/RegText.h"
#include "platform/RegistryBackend.h"
#include "platform/RegistryRoot.h"

namespace vandrel::platform {

// Where the store of Root lives: $VANDREL_REGISTRY_DIR/<root name>.reg when that variable is
// set, else $XDG_CONFIG_HOME/vandrel/HKEY_CURRENT_USER.reg (by default under ~/.config) and
// /etc/vandrel/HKEY_LOCAL_MACHINE.reg.
std::string RegistryStoreFile(HKEY Root);

class TRegStore : public TRegistryBackend {
 public:
  explicit TRegStore(HKEY Root);
  TRegStore(HKEY Root, std::string FileName);

  const std::string& FileName() const { return FFileName; }

  // The store as it is now; an empty store when the file does not exist yet.
  TRegDocument Load() const;
  // Applies Change under the lock and writes the store when Change reports a change.
  void Update(const std::function<bool(TRegDocument&)>& Change);

  bool KeyExists(const TRegPath& Path) override;
  bool CreateKey(const TRegPath& Path) override;
  bool ValueExists(const TRegPath& Path, const std::string& Name) override;
  std::optional<std::string> ReadString(const TRegPath& Path, const std::string& Name) override;
  std::vector<std::string> ValueNames(const TRegPath& Path) override;
  void WriteString(const TRegPath& Path, const std::string& Name, const std::string& Value) override;
  bool DeleteValue(const TRegPath& Path, const std::string& Name) override;

 private:
  TRegDocument Parse(const std::string& Text) const;

  HKEY FRoot;
  std::string FFileName;
};

}  // namespace vandrel::platform
