#pragma once
// The text lines of a backup file's header: composed from the header and the file's own
// facts (block count, last file, start and finish), and read back.
#include <cstddef>
#include <string>
#include <string_view>

#include "data/backup/BackupHeader.h"

namespace vandrel::backup {

struct THeaderFacts {
  int Blocks = -1;  // -1: the file is unfinished
  bool LastFile = true;
  TDateTime Start = 0;
  TDateTime Finish = 0;
};

// Every header line from the magic line to the checksum line, each ending with "\r\n", texts
// in Windows-1250.
std::string ComposeHeader(const TMBackupHeader& Header, const THeaderFacts& Facts);

// Reads the lines of Bytes (the start of the file, magic line included) up to the checksum
// line. 0: read; 1: the checksum line is missing or wrong; 2: the header of an unfinished
// file. Length is the number of bytes up to and including the checksum line (0 when missing).
int ParseHeader(std::string_view Bytes, TMBackupHeader& Header, THeaderFacts& Facts, std::size_t& Length);

}  // namespace vandrel::backup
