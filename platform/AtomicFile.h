#pragma once
// A small text file that several programs change: an exclusive lock held in a file of its
// own (the file itself is replaced on every write, so it cannot carry the lock), and
// replacement through a temporary file renamed over it, so that a reader sees either the old
// or the new contents, never a half-written file. Failures are returned as errno values, so
// that each caller words its own message.
#include <string>

namespace vandrel::platform {

class TAtomicFile {
 public:
  explicit TAtomicFile(std::string FileName);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  const std::string& FileName() const { return FFileName; }
  std::string LockName() const { return FFileName + ".lock"; }
  std::string Directory() const;

  // Creates the file's directory when missing and takes the lock (held until destruction).
  int Lock();
  // The whole contents; a missing file reads as empty with Exists false.
  int Read(std::string& Text, bool& Exists) const;
  // Writes Text to a temporary file beside the file, keeps the old file's permissions
  // (0644 for a new one), syncs it and renames it over the file.
  int Replace(const std::string& Text) const;

  // Temporaries beside the file are named TempPrefix() and a suffix; only a writer that holds
  // the lock makes them, so whoever holds it may remove them.
  std::string TempPrefix() const { return FFileName + ".vandrel-"; }
  // Writes Text into TempName, created with the file's permissions, and syncs it.
  int WriteTemp(const std::string& TempName, const std::string& Text) const;
  // Removes every temporary beside the file; the number removed.
  int RemoveTemporaries() const;

  void SyncDirectory() const;

 private:
  int WriteContents(int Fd, const std::string& Text) const;

  std::string FFileName;
  int FLockFd = -1;
};

}  // namespace vandrel::platform
