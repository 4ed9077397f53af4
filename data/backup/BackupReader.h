#pragma once
// Reads a backup file opened by TMBackup::BeginRestore: an index of its blocks (all blocks
// of one name are found together), the decoded content of a block, and its records into an
// in-memory dataset, whose fields take the block's definitions when it has none and are
// otherwise matched to the stored fields by name.
#include <cstdint>
#include <map>
#include <vector>

#include "data/backup/Backup.h"
#include "data/backup/BlockContent.h"

namespace vandrel {

class TMDataSet;

// One finding of a survey: a block that could not be read, or a block whose number is not
// the one that should follow the block before it.
struct TMBlockDamage {
  std::int64_t Offset = 0;  // of the block's header line (or of the bytes that should be one)
  int Number = -1;          // as its header line says; -1 when that line is not readable
  int ExpectedNumber = -1;  // the number that should have come there
  AnsiString Name;
  int Code = 0;             // the data error: 1305, 1306 or 1307
  AnsiString Message;
  AnsiString Description;
};

struct TMBackupSurvey {
  int WholeBlocks = 0;
  long long Records = 0;  // in the whole blocks
  int LastNumber = -1;    // the highest block number read from a valid header line
  std::vector<TMBlockDamage> Damage;
};

class TMBackupReader {
 public:
  explicit TMBackupReader(TMBackup& Backup) : FBackup(Backup) {}

  // Walks the blocks from the first to the end of the file: 1305 for a block header that is
  // damaged or out of sequence, 1306 for data cut short by the end of the file.
  void BuildIndex();
  int GetBlockCount() const { return static_cast<int>(FBlocks.size()); }
  const TMBackupBlockHeader& GetBlock(int Index) const { return FBlocks.at(Index); }
  // The positions of the blocks stored under Name (a block name is formed from it first).
  std::vector<int> FindBlocks(const AnsiString& Name) const;
  // Distinct block names in the order of their first block.
  std::vector<AnsiString> BlockNames() const;

  // Reads every block from the first to the end of the file and never stops at damage:
  // after a damaged block it goes on at the next block header (data never holds the byte
  // 0x01 that begins one), so that every damaged block is found.
  TMBackupSurvey Survey();

  // Raises 1306 or 1307 for a block that cannot be read.
  void ReadContent(int Index, TMBackupBlockContent& Content);
  // Appends the block's records to Target (opening it when closed); a failure is 1307.
  void LoadBlock(int Index, TMDataSet& Target);
  // Every block of Name in order; the number of records appended.
  int LoadBlocks(const AnsiString& Name, TMDataSet& Target);

 private:
  TMBackup& FBackup;
  std::vector<TMBackupBlockHeader> FBlocks;
  std::map<AnsiString, std::vector<int>> FByName;
  std::vector<AnsiString> FNames;
  std::string FBytes;
  // LoadBlock's, kept from block to block so that its buffers are allocated once.
  TMBackupBlockContent FContent;
};

}  // namespace vandrel
