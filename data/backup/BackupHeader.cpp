#include "data/backup/BackupHeader.h"

#include <algorithm>

#include "foundation/TdtTools.h"

namespace vandrel {

void TMBackupHeader::Reset() {
  FileIndex = 0;
  BlockSize = 16384;
  CurrentBackup = TdtTools().Value;
  Incremental = false;
  PreviousBackup = 0;
  for (AnsiString* Text : {&EncryptionMethod, &ProgramName, &ProgramVersion, &DatabaseID, &BackupType,
                           &User, &Station, &Comment})
    Text->clear();
  for (AnsiString& Param : Params) Param.clear();
}

void TMBackupHeader::Validate() {
  FileIndex = std::max(FileIndex, 0);
  BlockSize = std::clamp(BlockSize, MinBlockSize, MaxBlockSize);
  if (!Incremental)
    PreviousBackup = 0;
  else if (PreviousBackup > CurrentBackup)
    PreviousBackup = CurrentBackup;
  auto Clean = [](AnsiString& Text) { std::erase_if(Text, [](char C) { return C == '\r' || C == '\n'; }); };
  for (AnsiString* Text : {&EncryptionMethod, &ProgramName, &ProgramVersion, &DatabaseID, &BackupType,
                           &User, &Station, &Comment})
    Clean(*Text);
  for (AnsiString& Param : Params) Clean(Param);
}

}  // namespace vandrel
