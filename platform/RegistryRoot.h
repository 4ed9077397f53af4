#pragma once
// The two registry roots the tool reads and writes.

namespace vandrel::platform {

enum HKEY { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
inline const char* RootKeyName(HKEY Root) {
  return Root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

}  // namespace vandrel::platform
