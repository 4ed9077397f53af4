#include "foundation/Logfile.h"

#include <unistd.h>

#include <cstdio>

#include "foundation/Utf8.h"

namespace vandrel {

TMLogfile::TMLogfile(TObject* Owner) : TMCustomFile(Owner) {
  SetRandomAccess(false);
  SetReadOnly(false);
}

TMLogfile::~TMLogfile() { BeforeDestruction(); }

bool TMLogfile::GetActive() const {
  std::lock_guard Guard(FLock);
  return TMCustomFile::GetActive();
}

void TMLogfile::SetActive(bool Value) {
  std::lock_guard Guard(FLock);
  if (Value == TMCustomFile::GetActive()) return;
  TMCustomFile::SetActive(Value);
  if (Value) SetPointer(GetSize());
}

TdtFormat TMLogfile::GetDTFormat() const {
  std::lock_guard Guard(FLock);
  return FDTFormat;
}

void TMLogfile::SetDTFormat(TdtFormat Value) {
  std::lock_guard Guard(FLock);
  FDTFormat = Value;
}

AnsiString TMLogfile::ThreadTag() {
  char Tag[16];
  std::snprintf(Tag, sizeof Tag, "%08X", static_cast<unsigned>(::gettid()));
  return Tag;
}

void TMLogfile::Log(const AnsiString& Text) {
  std::lock_guard Guard(FLock);
  CheckActive(true);
  const AnsiString Prefix = "[" + ThreadTag() + "] " + TdtTools().ToString(FDTFormat) + "> ";
  const AnsiString Indent(utf8::Length(Prefix), ' ');
  // Lines end at "\r\n", a lone carriage return or a lone line feed; a text that ends with
  // a line end has no empty last line.
  AnsiString Out = Prefix;
  for (std::size_t I = 0; I < Text.size(); ++I) {
    const char C = Text[I];
    if (C != '\r' && C != '\n') {
      Out += C;
      continue;
    }
    if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
    Out += "\r\n";
    if (I + 1 < Text.size()) Out += Indent;
  }
  if (Out.size() < 2 || Out.compare(Out.size() - 2, 2, "\r\n") != 0) Out += "\r\n";
  DoWrite(Out.data(), static_cast<std::int64_t>(Out.size()));
}

}  // namespace vandrel
