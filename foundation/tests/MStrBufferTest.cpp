#include "foundation/MStrBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace vandrel {
namespace {

TEST(MStrBufferTest, ChunkMovesIntoTheTextOnlyWhenMoreBytesCome) {
  TMStrBuffer B;
  const std::string Full(64, 'a');
  B.AddStr(Full);
  EXPECT_EQ(B.GetChunkFill(), 64);
  EXPECT_EQ(B.Data(), Full);
  EXPECT_EQ(B.GetChunkFill(), 64);  // returned without moving

  B.AddChar('b');
  EXPECT_EQ(B.GetTotal(), 65);
  EXPECT_EQ(B.GetChunkFill(), 1);
  EXPECT_EQ(B.Data(), Full + "b");
  EXPECT_EQ(B.GetChunkFill(), 0);
  EXPECT_EQ(B.Data(), Full + "b");  // asking again changes nothing
}

TEST(MStrBufferTest, AppendsTextsOfAnyLengthInOrder) {
  TMStrBuffer B;
  std::string Expected;
  for (int I = 0; I < 300; ++I) {
    const std::string Piece(static_cast<size_t>(I % 70), static_cast<char>('a' + I % 26));
    B.AddStr(Piece);
    Expected += Piece;
    if (I % 50 == 0) {
      ASSERT_EQ(B.Data(), Expected);
    }
  }
  B.AddBuff("xyz\0tail", -1);  // up to the terminating zero
  B.AddBuff("q\0r", 3);        // exactly three bytes, the zero included
  B.AddBuff(nullptr, 5);
  Expected += std::string("xyz") + std::string("q\0r", 3);
  EXPECT_EQ(B.Data(), Expected);
  EXPECT_EQ(B.GetTotal(), static_cast<int>(Expected.size()));

  B.Clear();
  EXPECT_EQ(B.Data(), "");
  B.AddStr("ą");
  EXPECT_EQ(B.Data(), "ą");
}

}  // namespace
}  // namespace vandrel
