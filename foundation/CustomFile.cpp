#include "foundation/CustomFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/FileError.h"
#include "foundation/MacSet.h"

namespace vandrel {

namespace {

constexpr std::int64_t kLinePiece = 256;

}  // namespace

TMCustomFile::TMCustomFile(TObject* Owner) : FOwner(Owner) {}

TMCustomFile::~TMCustomFile() { BeforeDestruction(); }

void TMCustomFile::BeforeDestruction() noexcept {
  try {
    SetActive(false);
  } catch (...) {
    // A flush that fails while the component dies has no one to report to.
    CloseHandle();
  }
}

template <class Check>
void TMCustomFile::Wrapped(int Code, Check Run) const {
  try {
    Run();
  } catch (const EMException& E) {
    throw EMFileError(this, &E, Code);
  }
}

void TMCustomFile::SetPath(const AnsiString& Value) {
  if (Value == FPath) return;
  Wrapped(ferr::SetPath, [this] { CheckNotActive(); });
  FPath = Value;
}

void TMCustomFile::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  Wrapped(ferr::SetReadOnly, [this] { CheckNotActive(); });
  FReadOnly = Value;
}

void TMCustomFile::SetRandomAccess(bool Value) {
  if (Value == FRandomAccess) return;
  Wrapped(ferr::SetRandomAccess, [this] { CheckNotActive(); });
  FRandomAccess = Value;
}

void TMCustomFile::SetActive(bool Value) {
  if (Value == TMCustomFile::GetActive()) return;
  if (Value)
    OpenHandle();
  else
    CloseHandle();
}

void TMCustomFile::OpenHandle() {
  const int Flags = (FReadOnly ? O_RDONLY : O_RDWR | O_CREAT) | O_CLOEXEC;
  const int Handle = ::open(FPath.c_str(), Flags, 0666);
  if (Handle < 0) EMFileError::Generate(this, ferr::OpenFailed, "CreateFile");
  if (::flock(Handle, (FReadOnly ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
    const int Error = errno;
    ::close(Handle);
    errno = Error;
    EMFileError::Generate(this, ferr::OpenFailed, "CreateFile");
  }
  // Only a hint: a file system that ignores it reads the same bytes.
  ::posix_fadvise(Handle, 0, 0, FRandomAccess ? POSIX_FADV_RANDOM : POSIX_FADV_SEQUENTIAL);
  FHandle = Handle;
}

void TMCustomFile::CloseHandle() {
  if (FHandle < 0) return;
  // The handle goes even when the flush fails; the failure is then reported.
  try {
    if (!FReadOnly) DoFlush();
  } catch (...) {
    ::close(FHandle);
    FHandle = -1;
    throw;
  }
  ::close(FHandle);
  FHandle = -1;
}

void TMCustomFile::CheckActive(bool ForWriting) const {
  if (FHandle < 0) throw EMFileError(this, nullptr, ferr::NotOpen);
  if (ForWriting && FReadOnly) throw EMFileError(this, nullptr, ferr::ReadOnly);
}

void TMCustomFile::CheckNotActive() const {
  if (FHandle >= 0) throw EMFileError(this, nullptr, ferr::Open);
}

std::int64_t TMCustomFile::GetPointer() const {
  if (FHandle < 0) return 0;
  const off_t Position = ::lseek(FHandle, 0, SEEK_CUR);
  return Position < 0 ? 0 : Position;
}

std::int64_t TMCustomFile::GetSize() const {
  if (FHandle < 0) return 0;
  struct stat Info {};
  return ::fstat(FHandle, &Info) != 0 ? 0 : Info.st_size;
}

void TMCustomFile::SetPointer(std::int64_t Position) {
  Wrapped(ferr::SetPointer, [this] { CheckActive(false); });
  if (::lseek(FHandle, Position, SEEK_SET) < 0)
    EMFileError::Generate(this, ferr::SetPointer, "SetFilePointer");
}

void TMCustomFile::DoWrite(const void* Buffer, std::int64_t Count) {
  if (Count < 1) return;
  Wrapped(ferr::Write, [this] { CheckActive(true); });
  const char* Next = static_cast<const char*>(Buffer);
  std::int64_t Left = Count;
  // A regular file writes everything at once unless the disk or a limit stops it; a
  // partial write is continued, and a failure after some bytes is an incomplete write.
  while (Left > 0) {
    const ssize_t Done = ::write(FHandle, Next, static_cast<std::size_t>(Left));
    if (Done < 0 && errno == EINTR) continue;
    if (Done < 0 && Left == Count) EMFileError::Generate(this, ferr::Write, "WriteFile");
    if (Done <= 0) {
      if (Done == 0) errno = ENOSPC;
      EMFileError::Generate(this, ferr::WriteIncomplete, "WriteFile");
    }
    Next += Done;
    Left -= Done;
  }
}

std::int64_t TMCustomFile::DoRead(void* Buffer, std::int64_t Count) {
  Wrapped(ferr::Read, [this] { CheckActive(false); });
  char* Next = static_cast<char*>(Buffer);
  std::int64_t Total = 0;
  while (Total < Count) {
    const ssize_t Done = ::read(FHandle, Next + Total, static_cast<std::size_t>(Count - Total));
    if (Done < 0 && errno == EINTR) continue;
    if (Done < 0) EMFileError::Generate(this, ferr::Read, "ReadFile");
    if (Done == 0) break;
    Total += Done;
  }
  return Total;
}

void TMCustomFile::DoWriteLine(const AnsiString& Text, const AnsiString& LineEnd) {
  DoWrite(Text.data(), static_cast<std::int64_t>(Text.size()));
  DoWrite(LineEnd.data(), static_cast<std::int64_t>(LineEnd.size()));
}

bool TMCustomFile::DoReadLine(AnsiString& Text, const AnsiString& LineEnd) {
  TMacSetOfIntegers Ends;
  for (unsigned char C : LineEnd) Ends.Add(C);
  Ends.Add(0);
  Text.clear();
  char Piece[kLinePiece];
  bool LineEnded = false;
  TMacSetOfIntegers Skipped;
  for (;;) {
    const std::int64_t Got = DoRead(Piece, kLinePiece);
    if (Got == 0) break;
    std::int64_t I = 0;
    if (!LineEnded) {
      while (I < Got && !Ends.Contains(static_cast<unsigned char>(Piece[I]))) ++I;
      Text.append(Piece, static_cast<std::size_t>(I));
      LineEnded = I < Got;
    }
    if (LineEnded) {
      // Each end character is taken at most once: "\r\n" is one end, "\n\n" two.
      while (I < Got) {
        const int C = static_cast<unsigned char>(Piece[I]);
        if (!Ends.Contains(C) || Skipped.Contains(C)) break;
        Skipped.Add(C);
        ++I;
      }
      if (I < Got) {
        SetPointer(GetPointer() - (Got - I));
        return true;
      }
      if (Skipped.GetCount() == Ends.GetCount()) return true;
    }
  }
  return LineEnded || !Text.empty();
}

void TMCustomFile::DoFlush() {
  Wrapped(ferr::Flush, [this] { CheckActive(true); });
  if (::fsync(FHandle) != 0 && errno != EINVAL && errno != EROFS)
    EMFileError::Generate(this, ferr::Flush, "FlushFileBuffers");
}

void TMCustomFile::DoSetEof() {
  Wrapped(ferr::SetEof, [this] { CheckActive(true); });
  const off_t Position = ::lseek(FHandle, 0, SEEK_CUR);
  if (Position < 0 || ::ftruncate(FHandle, Position) != 0)
    EMFileError::Generate(this, ferr::SetEof, "SetEndOfFile");
}

}  // namespace vandrel
