#pragma once
// Text conversions at the protocol boundary: the engine speaks UTF-8, TDS carries UCS-2 /
// UTF-16LE for names, messages, batches and nvarchar, and the collation's code page
// (Windows-1250 for Polish_CI_AS) for char, varchar and text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace msde::tds {

// Converts UTF-8 to UTF-16, replacing malformed sequences by U+FFFD. MaxUnits > 0 cuts the
// result to at most that many code units without splitting a surrogate pair.
std::u16string Utf8ToUtf16(const std::string& utf8, size_t MaxUnits = 0);
// Converts UTF-16LE bytes (Units code units) to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(const uint8_t* data, size_t units);
void AppendUtf16(const std::u16string& text, std::vector<uint8_t>& out);

// Converts UTF-8 to Windows-1250 with iconv; characters the code page lacks become '?',
// as SQL Server stores them in a varchar column.
std::string Utf8ToCp1250(const std::string& utf8);
// Converts Windows-1250 text (a varchar parameter) to UTF-8.
std::string Cp1250ToUtf8(const std::string& text);

}  // namespace msde::tds
