#pragma once
// The general file component: the byte and line operations of TMCustomFile made public, and
// whole-file transfer of string lists with "\r\n" line ends.
#include <vector>

#include "foundation/CustomFile.h"

namespace vandrel {

class TMFile : public TMCustomFile {
  VANDREL_CLASS(TMFile, TMCustomFile)
 public:
  using TMCustomFile::TMCustomFile;

  void Write(const void* Buffer, std::int64_t Count) { DoWrite(Buffer, Count); }
  std::int64_t Read(void* Buffer, std::int64_t Count) { return DoRead(Buffer, Count); }
  void WriteLine(const AnsiString& Text, const AnsiString& LineEnd = "\r\n") { DoWriteLine(Text, LineEnd); }
  bool ReadLine(AnsiString& Text, const AnsiString& LineEnd = "\r\n") { return DoReadLine(Text, LineEnd); }
  void Flush() { DoFlush(); }
  void SetEof() { DoSetEof(); }

  // Replaces the file's content by the strings, each followed by "\r\n". A BufferSize of 0
  // or less writes line by line; any other is clamped to 64 ... 65536 bytes.
  static void WriteStringsToFile(const AnsiString& Path, const std::vector<AnsiString>& Strings,
                                 int BufferSize);
  // Replaces Strings by the file's lines: carriage return, line feed and the byte 0 end a
  // line, "\r\n" ends one. BufferSize is clamped to 64 ... 65536 bytes.
  static void ReadStringsFromFile(const AnsiString& Path, std::vector<AnsiString>& Strings,
                                  int BufferSize);

  // The buffer size the transfers use for a requested size.
  static int ClampBufferSize(int BufferSize);
};

}  // namespace vandrel
