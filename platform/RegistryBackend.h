#pragma once
// What the registry facade needs of a place that holds keys: the ".reg" store of a root, or
// the ODBC configuration files that stand for the ODBC keys. Paths are split key names
// below the root; failures raise EMRegistryError.
#include <optional>
#include <string>
#include <vector>

namespace vandrel::platform {

using TRegPath = std::vector<std::string>;

class TRegistryBackend {
 public:
  virtual ~TRegistryBackend() = default;

  virtual bool KeyExists(const TRegPath& Path) = 0;
  // Makes the key exist; false when no key can exist at Path in this place.
  virtual bool CreateKey(const TRegPath& Path) = 0;
  virtual bool ValueExists(const TRegPath& Path, const std::string& Name) = 0;
  // The string value, or nothing when the key has no such value; a value of another
  // type raises EMRegistryError.
  virtual std::optional<std::string> ReadString(const TRegPath& Path, const std::string& Name) = 0;
  virtual std::vector<std::string> ValueNames(const TRegPath& Path) = 0;
  virtual void WriteString(const TRegPath& Path, const std::string& Name, const std::string& Value) = 0;
  // False when there was no such value.
  virtual bool DeleteValue(const TRegPath& Path, const std::string& Name) = 0;
  // Removes the key with its values; false when there was no such key. A place whose keys
  // cannot be removed raises EMRegistryError.
  virtual bool DeleteKey(const TRegPath& Path);
};

}  // namespace vandrel::platform
