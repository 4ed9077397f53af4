#pragma once
// The descriptive header of a backup file: which file of a backup it is, its block size,
// when it was taken (and, for an incremental one, since when), and the host program's texts.
#include "foundation/Exception.h"

namespace vandrel {

struct TMBackupHeader {
  static constexpr int MinBlockSize = 1024;
  static constexpr int MaxBlockSize = 0x100000;
  static constexpr int ParamCount = 8;

  TMBackupHeader() { Reset(); }

  // File index 0, block size 16384, taken now, not incremental, every text empty.
  void Reset();
  // Puts every member into the range the file allows: a file index of at least 0, a block
  // size of 1024 ... 1048576, a previous backup only for an incremental one (and never after
  // the current one), texts without carriage returns and line feeds.
  void Validate();

  int FileIndex;
  int BlockSize;
  TDateTime CurrentBackup;
  bool Incremental;
  TDateTime PreviousBackup;
  AnsiString EncryptionMethod;
  AnsiString ProgramName;
  AnsiString ProgramVersion;
  AnsiString DatabaseID;
  AnsiString BackupType;
  AnsiString User;
  AnsiString Station;
  AnsiString Comment;
  AnsiString Params[ParamCount];
};

}  // namespace vandrel
