#pragma once
// The encodings of the .sql files technicians bring: UTF-8 with or without its mark, UTF-16
// with its mark, and Windows-1250, the code page of these sites' older scripts (taken when
// the bytes are not valid UTF-8). A file is written back in the encoding and with the line
// ends it was read in, so an opened and saved file keeps its bytes.
#include <string>
#include <string_view>

namespace vandrel::app {

enum class TScriptEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Windows1250 };

struct TScriptText {
  std::string Text;  // UTF-8, lines ended by "\n"
  TScriptEncoding Encoding = TScriptEncoding::Utf8;
  bool CrLf = false;  // the file's lines end with "\r\n"
};

// The text of a file's bytes.
TScriptText DecodeScript(std::string_view Bytes);
// The bytes of Script.Text in Script's encoding and line ends. A character Windows-1250 has
// no byte for is written as "?".
std::string EncodeScript(const TScriptText& Script);

// The encoding's name as the window's status bar shows it.
const char* EncodingName(TScriptEncoding Encoding);

}  // namespace vandrel::app
