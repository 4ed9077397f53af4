#pragma once
// A small string builder for serialising values: bytes gather in a 64-byte chunk that moves
// into the text only when it is full and more bytes come, so short texts are never copied
// twice.
#include <string>

namespace vandrel {

class TMStrBuffer {
 public:
  static constexpr int ChunkSize = 64;

  void Clear();
  void AddChar(char C) { AddBuff(&C, 1); }
  void AddStr(const std::string& S) { AddBuff(S.data(), static_cast<int>(S.size())); }
  // A negative Length takes the bytes up to the terminating zero.
  void AddBuff(const char* Bytes, int Length);
  // The whole text.
  std::string Data();

  // Bytes added since the last Clear, and how many of them still wait in the chunk.
  int GetTotal() const { return FTotal; }
  int GetChunkFill() const { return FFill; }

 private:
  std::string FText;
  int FTotal = 0;
  char FChunk[ChunkSize] = {};
  int FFill = 0;
};

}  // namespace vandrel
