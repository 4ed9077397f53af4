#pragma once
// The registry as the tool uses it: open a key under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE
// for reading, or for writing with creation; read, write and delete string values; list value
// names; close. Keys under SOFTWARE\ODBC\ODBC.INI and SOFTWARE\ODBC\ODBCINST.INI are unixODBC's
// configuration files (OdbcRegistry.h); every other key lives in the root's ".reg" store
// (RegStore.h). Key and value names compare without regard to case. A client network alias
// written under HKEY_LOCAL_MACHINE is followed by FreeTDS's sections of its name (FreeTdsConf.h).
//
// Key paths are always taken from the root ("SOFTWARE\QUORVEL\TovinexWin"); a leading or
// trailing backslash is ignored. A key or value that is not there is an answer (false, an
// empty text); a store that cannot be read or written raises EMRegistryError whose details
// name the file and the reason.
#include <memory>
#include <vector>

#include "foundation/Exception.h"
#include "platform/RegistryBackend.h"
#include "platform/RegistryRoot.h"

namespace vandrel::platform {

class TRegistry {
 public:
  explicit TRegistry(HKEY Root = HKEY_CURRENT_USER);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY GetRootKey() const { return FRoot; }
  // Changing the root closes the open key.
  void SetRootKey(HKEY Root);

  // Opens Key for reading and writing; with CanCreate a missing key is created. False when
  // the key does not exist and was not created, or when no key can exist there.
  bool OpenKey(const AnsiString& Key, bool CanCreate);
  // Opens an existing key for reading only; false when it does not exist.
  bool OpenKeyReadOnly(const AnsiString& Key);
  bool KeyExists(const AnsiString& Key);
  // Removes Key with its values (closing it first when it is the open key); false when it did
  // not exist. Only ODBC data sources can be removed; other keys raise EMRegistryError.
  bool DeleteKey(const AnsiString& Key);
  void CloseKey();
  // The open key's path below the root; empty when none is open.
  AnsiString GetCurrentPath() const;

  // The operations below need an open key.
  bool ValueExists(const AnsiString& Name);
  // The string value; empty when the key has no such value. A value of another type (dword,
  // binary) raises EMRegistryError.
  AnsiString ReadString(const AnsiString& Name);
  // Name "" is the key's default value. Line breaks cannot be stored and raise EMRegistryError.
  void WriteString(const AnsiString& Name, const AnsiString& Value);
  // False when there was no such value.
  bool DeleteValue(const AnsiString& Name);
  void GetValueNames(std::vector<AnsiString>& Names);

 private:
  TRegPath Split(const AnsiString& Key) const;
  std::unique_ptr<TRegistryBackend> BackendFor(const TRegPath& Path) const;
  TRegistryBackend& OpenBackend(const char* Operation) const;
  TRegistryBackend& WritableBackend(const char* Operation) const;
  AnsiString FullPath() const;

  HKEY FRoot;
  TRegPath FPath;
  std::unique_ptr<TRegistryBackend> FBackend;  // set while a key is open
  bool FReadOnly = false;
};

}  // namespace vandrel::platform
