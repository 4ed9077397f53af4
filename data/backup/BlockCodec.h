#pragma once
// The byte-level rules of a backup file: the escaping that keeps block data free of the
// block-header mark, the exclusive-or checksums, hexadecimal fields, the escaping of bytes
// below 16 inside values, block names, and the texts of numbers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/FieldTypes.h"
#include "foundation/Exception.h"

namespace vandrel::backup {

inline constexpr char kBlockMark = 0x01;      // begins every block header line
inline constexpr char kEscape = 0x02;         // 0x02 "0" / "1" / "2" stand for 0x00 / 0x01 / 0x02
inline constexpr char kValueEscape = 0x03;    // 0x03 + hexadecimal digit: a byte below 16 in a value
inline constexpr char kSeparator = 0x04;      // between definitions and between values
inline constexpr char kNull = 0x05;           // the whole of a null value

std::uint8_t XorOf(std::string_view Bytes, std::uint8_t Start = 0);

// The length of the run at the start of Data whose bytes are all at least Below (at most
// 128); eight bytes are looked at a time, since the bytes looked for are rare.
std::size_t RunAtLeast(const char* Data, std::size_t Size, unsigned char Below);

// Appends Data with 0x00, 0x01 and 0x02 escaped.
void Escape(std::string_view Data, std::string& Out);
// The escaped bytes of Data back into Out; false for an escape other than "0", "1", "2", for
// an escape cut short, and for a raw 0x01.
bool Unescape(std::string_view Data, std::string& Out);

// Value as upper-case hexadecimal of exactly Digits digits.
void AppendHex(std::string& Out, std::uint32_t Value, int Digits);
// Exactly Text.size() upper- or lower-case hexadecimal digits.
std::optional<std::uint32_t> ParseHex(std::string_view Text);

// Appends Value with every byte below 16 written as 0x03 + its hexadecimal digit.
void AppendValue(std::string& Out, std::string_view Value);
// The stored value back into Out; false for any other byte below 16 and a cut-short escape.
bool UnescapeValue(std::string_view Stored, std::string& Out);
// The same where the value lies (un-escaping only shrinks it): its new length, or none.
std::optional<std::size_t> UnescapeValueInPlace(char* Stored, std::size_t Size);

// Blanks trimmed, Polish letters folded, every character but A-Z, a-z, 0-9 and "_" removed,
// "_" in front of a leading digit.
AnsiString BlockName(const AnsiString& Name);

// The letter of a stored field type ("S" for any type without its own letter), and back.
char TypeLetter(TMFieldType Type);
std::optional<TMFieldType> TypeOfLetter(char Letter);

// Numbers as decimal text with "." and no exponent: the shortest text that reads back as
// the same value (so a value with more than 12 decimals is not rounded away).
void AppendFloat(std::string& Out, double Value);
void AppendExtended(std::string& Out, Extended Value);
std::optional<int> ParseInteger(std::string_view Text);
std::optional<double> ParseFloat(std::string_view Text);
std::optional<Extended> ParseExtended(std::string_view Text);

}  // namespace vandrel::backup
