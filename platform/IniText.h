#pragma once
// The text of an ODBC data source file in unixODBC's format: "[section]" lines, each
// followed by "key=value" lines; "#" and ";" begin comments; names compare without regard
// to ASCII case; blanks around keys and values are not part of them. The document keeps
// every line it was read from, so a change touches only the lines of the key or section it
// names, and the rest of the file (comments, other data sources) stays byte for byte.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::platform {

class TIniDocument {
 public:
  TIniDocument() = default;
  // Any text reads: a line that is neither a section, a key nor a comment is kept as it is.
  static TIniDocument Parse(std::string_view Text);
  std::string Serialise() const;

  std::vector<std::string> Sections() const;
  bool HasSection(const std::string& Section) const;
  // Keys of the section in file order, each once.
  std::vector<std::string> Keys(const std::string& Section) const;
  std::optional<std::string> Value(const std::string& Section, const std::string& Key) const;

  // Sets Key (creating the section when missing); true when the text changed. The caller
  // keeps line breaks and "[]" out of names and line breaks out of values.
  bool Set(const std::string& Section, const std::string& Key, const std::string& Value);
  // Gives the section a header of its own when it has none; true when the text changed.
  bool AddSection(const std::string& Section);
  bool DeleteKey(const std::string& Section, const std::string& Key);
  bool DeleteSection(const std::string& Section);

 private:
  // Lines [First, End) of the first section of that name; First is the header line.
  struct TSpan {
    size_t First, End;
  };
  std::optional<TSpan> Find(const std::string& Section) const;
  std::optional<size_t> FindKey(const TSpan& Span, const std::string& Key) const;

  std::vector<std::string> FLines;  // without their line breaks
};

// The key a line sets ("key = value"), or nothing for sections, comments and other lines.
std::optional<std::string> IniKeyOf(std::string_view Line);
// The section a line opens, or nothing.
std::optional<std::string> IniSectionOf(std::string_view Line);
// The value of a key line, without blanks at either end.
std::string IniValueOf(std::string_view Line);

}  // namespace vandrel::platform
