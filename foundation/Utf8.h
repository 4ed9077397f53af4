#pragma once
// UTF-8 characters for the text tools: text is decoded into code points so that a Polish
// letter counts as one character, and encoded back without loss. A byte that does not
// belong to a well-formed UTF-8 character decodes on its own to 0xDC00 + its value (a code
// point no well-formed text yields) and encodes back to that same byte.
#include <string>
#include <string_view>

namespace vandrel::utf8 {

std::u32string Decode(std::string_view Text);
std::string Encode(std::u32string_view Text);
std::string Encode(char32_t C);

// The number of characters in Text.
std::size_t Length(std::string_view Text);
// Whether Text is well-formed UTF-8 throughout.
bool IsValid(std::string_view Text);
// The byte offset of character Index of Text (Text.size() when there are fewer characters).
std::size_t Offset(std::string_view Text, std::size_t Index);

// Length in bytes of the longest prefix of Text holding at most MaxChars whole characters:
// a cut there never splits a character (an incomplete one at the end is left out; a byte
// that cannot start a character counts as one). Inline: buffers of results are cut with it
// on every read.
inline std::size_t WholePrefix(std::string_view Text, std::size_t MaxChars) {
  // No longer than the limit in bytes and ending in three plain bytes: nothing to cut
  // (a sequence cut short could only start in the last three bytes).
  const std::size_t n = Text.size();
  if (n <= MaxChars && (n < 1 || static_cast<unsigned char>(Text[n - 1]) < 0x80) &&
      (n < 2 || static_cast<unsigned char>(Text[n - 2]) < 0x80) &&
      (n < 3 || static_cast<unsigned char>(Text[n - 3]) < 0x80))
    return n;
  std::size_t i = 0, chars = 0;
  while (i < Text.size() && chars < MaxChars) {
    const unsigned char c = static_cast<unsigned char>(Text[i]);
    const std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (i + len > Text.size()) break;
    i += len;
    ++chars;
  }
  return i;
}

// Upper case of letters of the Latin, Greek and Cyrillic alphabets used in Europe
// (Polish letters included); every other code point is returned unchanged.
char32_t ToUpper(char32_t C);
std::u32string ToUpper(std::u32string_view Text);

}  // namespace vandrel::utf8
