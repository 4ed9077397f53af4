// Cutting UTF-8 text between whole characters.
#include <gtest/gtest.h>

#include <string>

#include "foundation/Utf8.h"

namespace vandrel {
namespace {

TEST(Utf8WholePrefix, CutsOnlyBetweenWholeCharacters) {
  const std::string zolw = "\xC5\xBC\xC3\xB3\xC5\x82w";  // "żółw": three two-byte letters and w
  EXPECT_EQ(utf8::WholePrefix(zolw, 4), zolw.size());
  EXPECT_EQ(utf8::WholePrefix(zolw, 2), 4u);
  EXPECT_EQ(utf8::WholePrefix(zolw, 0), 0u);
  EXPECT_EQ(utf8::WholePrefix("abc", 3), 3u);
  EXPECT_EQ(utf8::WholePrefix("abcd", 3), 3u);
  EXPECT_EQ(utf8::WholePrefix("", 3), 0u);
}

TEST(Utf8WholePrefix, SequenceCutShortAtTheEndIsDroppedWithinTheLimitToo) {
  // A buffer that ended inside a letter: the letter's first bytes are left out, however
  // far the text is below the limit.
  EXPECT_EQ(utf8::WholePrefix("ab\xC5", 10), 2u);
  EXPECT_EQ(utf8::WholePrefix("ab\xE2\x82", 10), 2u);
  EXPECT_EQ(utf8::WholePrefix("a\xF0\x9F\x98", 10), 1u);
  EXPECT_EQ(utf8::WholePrefix("\xE2x", 10), 0u);
  // A whole four-byte letter right before the end is kept.
  EXPECT_EQ(utf8::WholePrefix("a\xF0\x9F\x98\x80", 10), 5u);
  EXPECT_EQ(utf8::WholePrefix("a\xF0\x9F\x98\x80" "bcd", 10), 8u);
}

}  // namespace
}  // namespace vandrel
