// TxTools: paths. Both "/" and "\" separate directories, so that Windows paths kept as
// data split the same way as the program's own Linux paths.
#include "foundation/TxTools.h"

namespace vandrel {

namespace {

bool IsSeparator(char C) { return C == '/' || C == '\\'; }

bool IsLetter(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); }

// The length of the drive at the front: "C:" or "\\server\share".
std::size_t DriveLength(const AnsiString& Path) {
  if (Path.size() >= 2 && IsLetter(Path[0]) && Path[1] == ':') return 2;
  if (Path.rfind("\\\\", 0) != 0) return 0;
  std::size_t Server = Path.find_first_of("/\\", 2);
  if (Server == AnsiString::npos) return Path.size();
  std::size_t Share = Path.find_first_of("/\\", Server + 1);
  return Share == AnsiString::npos ? Path.size() : Share;
}

// Where the name (with its extension) begins.
std::size_t NameStart(const AnsiString& Path) {
  std::size_t Drive = DriveLength(Path);
  std::size_t Last = Path.find_last_of("/\\");
  return Last == AnsiString::npos || Last < Drive ? Drive : Last + 1;
}

// Where the extension begins within the name; a leading dot belongs to the name (".profile").
std::size_t ExtensionStart(const AnsiString& Path) {
  std::size_t Name = NameStart(Path);
  std::size_t Dot = Path.rfind('.');
  return Dot == AnsiString::npos || Dot <= Name ? Path.size() : Dot;
}

}  // namespace

AnsiString TxTools::MakePath(const AnsiString& Drive, const AnsiString& Dir,
                             const AnsiString& Name, const AnsiString& Ext) {
  AnsiString Path = Drive;
  if (Drive.size() == 1 && IsLetter(Drive[0])) Path += ':';
  Path += Dir;
  if (!Dir.empty() && !IsSeparator(Dir.back())) {
    bool Windows = Dir.find('\\') != AnsiString::npos && Dir.find('/') == AnsiString::npos;
    Path += Windows ? '\\' : '/';
  }
  Path += Name;
  if (!Ext.empty() && Ext[0] != '.') Path += '.';
  return Path + Ext;
}

AnsiString TxTools::Drive() const { return Value.substr(0, DriveLength(Value)); }

AnsiString TxTools::Directory() const {
  std::size_t Drive = DriveLength(Value);
  return Value.substr(Drive, NameStart(Value) - Drive);
}

AnsiString TxTools::FileName() const {
  std::size_t Name = NameStart(Value);
  return Value.substr(Name, ExtensionStart(Value) - Name);
}

AnsiString TxTools::FileExtension() const { return Value.substr(ExtensionStart(Value)); }

bool TxTools::IsFileMask() const {
  return Value.find_first_of("*?", NameStart(Value)) != AnsiString::npos;
}

}  // namespace vandrel
