#include "foundation/File.h"

#include <algorithm>
#include <memory>

namespace vandrel {

int TMFile::ClampBufferSize(int BufferSize) { return std::clamp(BufferSize, 64, 65536); }

void TMFile::WriteStringsToFile(const AnsiString& Path, const std::vector<AnsiString>& Strings,
                                int BufferSize) {
  TMFile File;
  File.SetPath(Path);
  File.Open();
  File.SetEof();
  if (BufferSize <= 0) {
    for (const AnsiString& Line : Strings) File.WriteLine(Line);
  } else {
    const std::size_t Size = static_cast<std::size_t>(ClampBufferSize(BufferSize));
    AnsiString Buffer;
    Buffer.reserve(Size);
    for (const AnsiString& Line : Strings) {
      if (Buffer.size() + Line.size() + 2 > Size) {
        File.Write(Buffer.data(), static_cast<std::int64_t>(Buffer.size()));
        Buffer.clear();
      }
      if (Line.size() + 2 > Size) {
        File.WriteLine(Line);
      } else {
        Buffer += Line;
        Buffer += "\r\n";
      }
    }
    File.Write(Buffer.data(), static_cast<std::int64_t>(Buffer.size()));
  }
  File.Close();
}

void TMFile::ReadStringsFromFile(const AnsiString& Path, std::vector<AnsiString>& Strings,
                                 int BufferSize) {
  Strings.clear();
  const int Size = ClampBufferSize(BufferSize);
  TMFile File;
  File.SetPath(Path);
  File.SetReadOnly(true);
  File.Open();
  auto Buffer = std::make_unique<char[]>(static_cast<std::size_t>(Size));
  AnsiString Line;
  bool AfterCarriageReturn = false;
  for (;;) {
    const std::int64_t Got = File.Read(Buffer.get(), Size);
    if (Got == 0) break;
    for (std::int64_t I = 0; I < Got; ++I) {
      const char C = Buffer[I];
      const bool WasCarriageReturn = AfterCarriageReturn;
      AfterCarriageReturn = C == '\r';
      if (C == '\n' && WasCarriageReturn) continue;
      if (C == '\r' || C == '\n' || C == '\0') {
        Strings.push_back(std::move(Line));
        Line.clear();
      } else {
        Line += C;
      }
    }
  }
  if (!Line.empty()) Strings.push_back(std::move(Line));
  File.Close();
}

}  // namespace vandrel
