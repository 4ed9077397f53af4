#pragma once
// The text of a registry store in the Windows ".reg" format ("Windows Registry Editor
// Version 5.00"): keys in brackets, each followed by its values. The document keeps every
// line as it was read, so an edit changes only the lines of the value it touches and a
// store written back keeps every other key and value byte for byte.
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::platform {

// A line that cannot be read as part of a ".reg" store; Line counts from 1.
class TRegParseError : public std::runtime_error {
 public:
  TRegParseError(int Line, const std::string& Reason) : std::runtime_error(Reason), Line(Line) {}
  int Line;
};

// One line of a key's section (a value, possibly continued over several lines, or a blank
// or comment line), with the bytes it was read from.
struct TRegLine {
  std::string Raw;          // exact bytes, line breaks included
  bool IsValue = false;     // false for blank and comment lines
  std::string Name;         // value name; empty for the default value "@"
  std::string Type;         // "string", "dword", "hex" or "hex(N)"
  std::string Text;         // the decoded text of a "string" value
};

struct TRegSection {
  std::string Header;                 // the "[...]" line with its line break
  std::vector<std::string> Path;      // key names below the root, as spelled in the file
  std::vector<TRegLine> Lines;
};

class TRegDocument {
 public:
  // An empty store of the root named RootName ("HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE").
  explicit TRegDocument(std::string RootName);

  // Reads a store; raises TRegParseError for text that is not a store of this root.
  static TRegDocument Parse(std::string_view Text, const std::string& RootName);
  std::string Serialise() const;

  // True when the key has a section of its own or a key below it has one.
  bool KeyExists(const std::vector<std::string>& Path) const;
  // The value as it stands in the last section and line that name it, or null.
  const TRegLine* FindValue(const std::vector<std::string>& Path, std::string_view Name) const;
  // Value names of the key in file order, each once.
  std::vector<std::string> ValueNames(const std::vector<std::string>& Path) const;

  // Gives the key a section of its own when it has none. True when the text changed.
  bool CreateKey(const std::vector<std::string>& Path);
  // Sets a string value; Value must hold no line break. True when the text changed.
  bool SetString(const std::vector<std::string>& Path, const std::string& Name, const std::string& Value);
  // Removes every line of the value. True when there was one.
  bool DeleteValue(const std::vector<std::string>& Path, std::string_view Name);

 private:
  int FindSection(const std::vector<std::string>& Path, bool Last) const;
  int AddSection(const std::vector<std::string>& Path);
  void EndWithBreak(std::string& Text) const;

  std::string RootName_;
  std::string Prolog_;   // the header line and whatever precedes the first key
  std::vector<TRegSection> Sections_;
  std::string Break_ = "\r\n";  // line break of the file, used for new lines
};

// The line of a string value as the ".reg" format writes it, without line break.
std::string FormatRegString(const std::string& Name, const std::string& Value);

}  // namespace vandrel::platform
