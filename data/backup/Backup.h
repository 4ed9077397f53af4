#pragma once
// The backup archive: the rows of datasets written block by block into a file with a
// checksummed text header, and read back. Each block holds the field definitions of one
// dataset and as many of its records as fit into the header's block size; a large table is
// a run of blocks with the same name. OnCodeBlock lets the host code (compress, encrypt)
// every block; CanWriteMoreBlocks lets it split a backup over several files.
//
// Writing: BeginBackup, WriteBlock until it answers false (for each dataset), EndBackup.
// Reading: BeginRestore, then ReadBlockHeader / ReadBlockData from block to block (or a
// TMBackupReader over the component), EndRestore.
#include <cstdint>
#include <functional>
#include <string>

#include "data/FieldTypes.h"
#include "data/backup/BackupHeader.h"
#include "foundation/CustomFile.h"

namespace vandrel {

class TMCustomDataSet;

// One block as its header line describes it.
struct TMBackupBlockHeader {
  int Number = 0;
  std::uint32_t EscapedLength = 0;
  std::uint8_t Checksum = 0;
  AnsiString Name;
  std::int64_t Offset = 0;      // of the header line's 0x01
  std::int64_t DataOffset = 0;  // of the escaped data
};

class TMBackup : public TMCustomFile {
  VANDREL_CLASS(TMBackup, TMCustomFile)
 public:
  static constexpr const char* Magic = "ZQ4DATA_BACKUP_FILE";

  // Mode 0: buffers are allocated; InSize is the block size, OutSize arrives as the block
  // size and may be raised to announce a larger coded buffer. Mode 1: code InBuffer into
  // OutBuffer; Mode 2: decode. OutSize arrives as the room in OutBuffer and leaves as the
  // number of bytes written there.
  using TMCodeBlockEvent = std::function<void(TMBackup* Sender, int Mode, int InSize, const char* InBuffer,
                                              int& OutSize, char* OutBuffer)>;
  using TMCanStoreRecordEvent =
      std::function<void(TMBackup* Sender, const AnsiString& BlockName, bool& Store, TMCustomDataSet* DataSet)>;
  using TMStoreFieldDefinitionEvent =
      std::function<void(TMBackup* Sender, const AnsiString& BlockName, AnsiString& FieldName,
                         TMFieldType& DataType, int FieldIndex, TMCustomDataSet* DataSet)>;
  using TMStoreFieldValueEvent = std::function<void(
      TMBackup* Sender, const AnsiString& BlockName, TDateTime& DateTimeValue, Extended& ExtendedValue,
      double& FloatValue, int& IntegerValue, AnsiString& StringValue, bool& IsNull, TMFieldType& DataType,
      int FieldIndex, TMCustomDataSet* DataSet)>;

  explicit TMBackup(TObject* Owner = nullptr);
  ~TMBackup() override;

  TMCodeBlockEvent OnCodeBlock;
  TMCanStoreRecordEvent OnCanStoreRecord;
  TMStoreFieldDefinitionEvent OnStoreFieldDefinition;
  TMStoreFieldValueEvent OnStoreFieldValue;

  // Opening is BeginBackup's or BeginRestore's: anything else raises 1301. Closing ends either.
  void SetActive(bool Value) override;

  // Validates Header (the caller sees what is written), creates or truncates the file and
  // writes the unfinished header.
  void BeginBackup(TMBackupHeader& Header);
  // One block of the dataset's records from the current one on; false when none was left.
  bool WriteBlock(const AnsiString& BlockName, TMCustomDataSet* DataSet);
  // True while the file plus two coded blocks stays below Limit bytes.
  bool CanWriteMoreBlocks(std::int64_t Limit);
  // Rewrites the header in place as finished and closes the file.
  void EndBackup(int& Blocks, TDateTime& Duration, bool LastFile);

  // 0: the header was read; 1: its checksum line is missing or wrong; 2: an unfinished file
  // (Blocks -1). The file stays open at the first block.
  int BeginRestore(TMBackupHeader& Header, int& Blocks, bool& LastFile);
  void EndRestore();

  // The header line of the block at the current position; false at the end of the file.
  // A header line that is not whole or whose checksum is wrong raises 1305.
  bool ReadBlockHeader(TMBackupBlockHeader& Block);
  // The position of the first 0x01 at or after From (the end of the file when there is
  // none): where a block header may begin, since block data never holds that byte.
  std::int64_t FindBlockMark(std::int64_t From);
  // The block's own bytes (un-escaped, checked and decoded); the file position moves past
  // its data. Raises 1306 for damaged data, 1307 when it cannot be decoded.
  void ReadBlockData(const TMBackupBlockHeader& Block, std::string& Content);

  bool GetWriting() const { return FWriting; }
  bool GetReading() const { return FReading; }
  int GetBlockSize() const { return FBlockSize; }
  int GetCodedSize() const { return FCodedSize; }
  // Start and finish of the backup being read (0 when the header has none).
  TDateTime GetStart() const { return FStart; }
  TDateTime GetFinish() const { return FFinish; }
  std::int64_t GetHeaderLength() const { return FHeaderLength; }
  // Where the first block begins (the end of the file when there is none).
  std::int64_t GetFirstBlock() const { return FFirstBlock; }

 private:
  void OpenFor(bool Reading);
  void AllocateBuffers(int BlockSize);
  // Runs Body; on any failure closes the file and raises again.
  template <class Body>
  auto ClosingOnFailure(Body Run);
  void WriteHeader(const TMBackupHeader& Header, int Blocks, bool LastFile);
  // Reads the header lines from the start of the file (at most Limit bytes); BeginRestore's
  // result.
  int ReadHeader(TMBackupHeader& Header, int& Blocks, bool& LastFile, std::int64_t Limit);
  void WriteCodedBlock(const AnsiString& Name, const std::string& Block);

  bool FWriting = false;
  bool FReading = false;
  bool FOpening = false;
  int FBlocks = 0;
  int FBlockSize = 0;
  int FCodedSize = 0;
  TDateTime FStart = 0;
  TDateTime FFinish = 0;
  std::int64_t FHeaderLength = 0;
  std::int64_t FFirstBlock = 0;
  std::string FCoded;
  std::string FEscaped;
};

}  // namespace vandrel
