#pragma once
// The version information of a program file, as a Windows version resource holds it: a
// translation (language and code page) and string fields under
// "\StringFileInfo\<language><code page>\<field>". Linux executables carry no such resource:
// the running program's own information is the build's, compiled in (the four-part CMake
// project version and the fields below); every other file has none.
//
// Fields of the program: CompanyName, FileDescription, FileVersion, InternalName,
// LegalCopyright, OriginalFilename, ProductName, ProductVersion. LegalTrademarks and Comments
// are absent, as in a resource that does not hold them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vandrel::platform {

class TFileVersionInfo {
 public:
  // The information of FileName: the build's for the running program's own file (the same
  // file by device and inode, whatever path or link names it); nothing for any other file.
  static std::optional<TFileVersionInfo> Read(const std::string& FileName);

  // The first entry of "\VarFileInfo\Translation": language in the low 16 bits, code page in
  // the high 16 bits (Polish, Unicode: 0x04B00415).
  std::uint32_t GetTranslation() const { return FTranslation; }
  // The value under SubBlock ("\StringFileInfo\041504b0\FileVersion"; the hexadecimal digits
  // in either case); nothing when the block holds no such value.
  std::optional<std::string> QueryValue(const std::string& SubBlock) const;

 private:
  struct TField {
    const char* Name;
    std::string Value;
  };
  std::uint32_t FTranslation = 0;
  std::vector<TField> FFields;
};

// The running program's executable, with its full path.
std::string ModuleFileName();

}  // namespace vandrel::platform
