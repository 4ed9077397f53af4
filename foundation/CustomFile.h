#pragma once
// An operating-system file as a component: configured by its path, read-only and random-
// access properties, opened and closed by its active flag, read and written as bytes or
// lines. Every failure is an EMFileError that names the file; a failed system call carries
// the system's error as its inner EMWin32LastError.
//
// Opening for reading and writing takes an exclusive lock on the file, opening read-only a
// shared one (so others may read a file being written only when they do not lock it, and a
// second writer is refused), which is how the file's "shared for reading" mode reads here.
#include <cstdint>

#include "foundation/Exception.h"
#include "foundation/Object.h"

namespace vandrel {

class TMCustomFile : public TObject {
  VANDREL_CLASS(TMCustomFile, TObject)
 public:
  explicit TMCustomFile(TObject* Owner = nullptr);
  ~TMCustomFile() override;
  TMCustomFile(const TMCustomFile&) = delete;
  TMCustomFile& operator=(const TMCustomFile&) = delete;

  // The component's name, shown by its errors.
  AnsiString Name;
  TObject* GetComponentOwner() const { return FOwner; }

  const AnsiString& GetPath() const { return FPath; }
  void SetPath(const AnsiString& Value);
  bool GetReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  bool GetRandomAccess() const { return FRandomAccess; }
  void SetRandomAccess(bool Value);

  virtual bool GetActive() const { return FHandle >= 0; }
  virtual void SetActive(bool Value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }

  // Not open: 101; ForWriting on a read-only file: 102.
  void CheckActive(bool ForWriting) const;
  // Open: 103.
  void CheckNotActive() const;

  // Position and size; 0 when closed or when the system call fails.
  std::int64_t GetPointer() const;
  std::int64_t GetSize() const;
  void SetPointer(std::int64_t Position);

 protected:
  // Nothing for a Count below 1; every byte is written or an error raised.
  void DoWrite(const void* Buffer, std::int64_t Count);
  // The bytes read, 0 ... Count (fewer only at the end of the file).
  std::int64_t DoRead(void* Buffer, std::int64_t Count);
  void DoWriteLine(const AnsiString& Text, const AnsiString& LineEnd);
  // One line ended by a character of LineEnd or by the byte 0; false at the end of the file
  // when nothing was read.
  bool DoReadLine(AnsiString& Text, const AnsiString& LineEnd);
  void DoFlush();
  // Truncates the file at the current position.
  void DoSetEof();

  // Closes the file; the destructor of every descendant that overrides SetActive calls it.
  void BeforeDestruction() noexcept;

 private:
  void OpenHandle();
  void CloseHandle();
  // Runs Check and raises Code with its error inside when it fails.
  template <class Check>
  void Wrapped(int Code, Check Run) const;

  TObject* FOwner;
  AnsiString FPath;
  bool FReadOnly = false;
  bool FRandomAccess = false;
  int FHandle = -1;
};

}  // namespace vandrel
