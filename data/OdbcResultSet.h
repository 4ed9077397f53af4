#pragma once
// The ODBC result set: it executes a query on its own statement, binds the columns and
// fetches rows in rowsets of 20 as the position moves forward. Unless the query is
// forward-only, every fetched rowset is copied into a rowset cache and kept, so that rows
// already read are revisited without the server. Reaching the end closes and frees the
// statement at once.
#include <sql.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "data/DbLink.h"
#include "data/OdbcFieldData.h"
#include "data/OdbcHandle.h"
#include "data/RowsetArena.h"

namespace vandrel {

class TMOdbcLink;

// A copy of one fetched rowset, in one block: the rows at the length of their values, not
// at the size of the bind buffers. Per column: 20 null flags as bits; a fixed-size column
// then the elements of the rows that are not null (timestamps packed); a character column then the end offset
// of each row's text and the texts one after another. Its row handles are the addresses of the entries of FRows:
// entry r holds r, and the copy is found from the entry's address, so a handle costs one
// byte per row.
class TMOdbcRowsetCache {
 public:
  using TFieldData = std::vector<std::unique_ptr<TMOdbcFieldData>>;

  // What the copy's two passes share, kept by the caller between rowsets: each column's flags
  // and each text's length.
  struct TScratch {
    std::vector<std::uint32_t> Flags;
    std::vector<std::uint16_t> Lengths;
  };

  // Copies the first Rows elements of the live buffers of every column into a block of
  // Arena, which frees it.
  static TMOdbcRowsetCache* Create(const TFieldData& Fields, int Rows, TScratch& Scratch, TMRowsetArena& Arena);
  TMOdbcRowsetCache(const TMOdbcRowsetCache&) = delete;
  TMOdbcRowsetCache& operator=(const TMOdbcRowsetCache&) = delete;

  // Element Row of column Column (whose field data is Field): its bytes, and its indicator
  // in Ind (SQL_NULL_DATA, or a character value's length in bytes). A timestamp is unpacked
  // into Scratch (16 bytes), which is valid until the next call.
  const unsigned char* Element(const TMOdbcFieldData& Field, int Column, int Row, SQLLEN& Ind,
                               unsigned char* Scratch) const;
  void* RowHandle(int Row) { return &FRows[Row]; }
  // The cache and the row of a handle made by RowHandle.
  static TMOdbcRowsetCache* FromRowHandle(void* Handle, int& Row);
  // Bytes of the block (a copy of Columns columns), for the account of memory.
  size_t GetBlockSize(int Columns) const { return Offset(Columns); }

 private:
  TMOdbcRowsetCache() = default;
  // Where column Column's part begins, from the start of the block; the offset after the
  // last column is the block's size.
  size_t Offset(int Column) const {
    std::uint32_t at;
    std::memcpy(&at, reinterpret_cast<const unsigned char*>(this + 1) + sizeof at * Column, sizeof at);
    return at;
  }
  const unsigned char* Base() const { return reinterpret_cast<const unsigned char*>(this); }

  unsigned char FRows[kOdbcRowsetSize];  // first member: its address is the cache's
  unsigned char FRowCount = 0;
  // The offsets of the columns' parts and of the block's end follow (unaligned), then the
  // columns' parts.
};

class TMOdbcResultSet : public TMCustomResultSet {
  VANDREL_CLASS(TMOdbcResultSet, TMCustomResultSet)
 public:
  TMOdbcResultSet(TMOdbcLink* Link, TKMQuery* Query);
  ~TMOdbcResultSet() override;

  int GetFieldCount() override { return FFieldCount; }
  int GetPosition() override;
  void SetPosition(int Row) override;
  int GetCount() override;
  bool GetCountKnown() override { return FAllFetched; }
  bool TryStep(int Row) override;
  bool GetIsEmpty() override { return FAllFetched && FBlocks == 0; }
  AnsiString GetFieldName(int Index) override;
  TMFieldType GetFieldType(int Index) override;
  int GetFieldScale(int Index) override;
  bool IsFieldNull(int Index) override;
  AnsiString GetStringFieldValue(int Index) override;
  int GetIntegerFieldValue(int Index) override;
  double GetFloatFieldValue(int Index) override;
  long double GetExtendedFieldValue(int Index) override;
  TDateTime GetDateTimeFieldValue(int Index) override;
  TMReadState ReadNullOrString(int Index, AnsiString& Value) override;
  TMReadState ReadNullOrInteger(int Index, int& Value) override;
  TMReadState ReadNullOrFloat(int Index, double& Value) override;
  TMReadState ReadNullOrExtended(int Index, long double& Value) override;
  TMReadState ReadNullOrDateTime(int Index, TDateTime& Value) override;
  TMReadState ReadNullState(int Index) override;
  bool ExternalIndexSupport() const override;
  void* GetExternalIndexData() override;

  // The open statement, null once every row is fetched.
  SQLHSTMT GetStatement() const { return FStatement.Get(); }
  const TMOdbcFieldData* GetFieldData(int Index) const { return FFieldData.at(Index).get(); }
  int GetBlockCount() const { return FBlocks; }
  int GetCachedBlockCount() const { return static_cast<int>(FBlockList.size()); }
  // Bytes the rowset copies take.
  size_t GetCachedBytes() const;

 protected:
  void DoOpen(const AnsiString& SQL, TMParams* Params) override;

 private:
  // Whether the driver describes integer column Column as unsigned.
  bool IsUnsigned(int Column, SQLSMALLINT SqlType);
  // The field data of column Index, null outside the columns or when it was not built.
  const TMOdbcFieldData* BuiltField(int Index) const;
  bool CollectInfo() const;
  void CollectInfoRecords();
  void SetStatementAttr(SQLINTEGER Attribute, SQLPOINTER Value, int Code);
  // The next rowset; Code is raised when the fetch fails. Answers the return code.
  SQLRETURN FetchNext(int Code);
  // Records a fetched rowset: the copy (unless forward-only), the block count, the rows.
  void TakeRowset();
  // Closes and frees the statement; ReadRest: the rows are all read and the results that
  // follow them are read first (raising the first error among them).
  void CloseStatement(bool ReadRest = false);
  // The query's DriverInfo when it collects informational records, else null.
  std::vector<AnsiString>* InfoLines() const;
  // Where column Index of the current row lies; false when there is no current row.
  bool Locate(int Index, const TMOdbcFieldData*& Field, const unsigned char*& E, SQLLEN& Ind);
  // Where column Index of the current row (or of the installed row handle's) lies in a
  // rowset's copy.
  [[gnu::noinline]] void LocateCopy(int Index, const TMOdbcFieldData& Field, const unsigned char*& E, SQLLEN& Ind);
  // Read applied to column Index of the current row; Default when there is no row.
  template <class T, class ReadFn>
  T ReadValue(int Index, T Default, ReadFn&& Read);
  // Read applied to column Index of the current row unless it is null or there is no row.
  template <class T, class ReadFn>
  TMReadState ReadNullOr(int Index, T& Value, ReadFn&& Read);
  // Converts a text as received from the driver when the link asks for it.
  void Receive(AnsiString& Text) const;

  TMOdbcLink* FOdbcLink;
  TMOdbcHandle FStatement{SQL_HANDLE_STMT};
  std::vector<std::unique_ptr<TMOdbcFieldData>> FFieldData;
  int FFieldCount = 0;
  SQLULEN FRowsFetched = 0;
  SQLUSMALLINT FRowStatus[kOdbcRowsetSize] = {};
  int FCurrentBlock = 0;
  int FCurrentRow = -1;
  bool FAllFetched = true;
  int FBlocks = 0;
  int FRowsInLastBlock = 0;
  bool FForwardOnly = false;  // the query's mode when it opened, which holds while the rows are read
  bool FLiveIsLast = false;  // the bind buffers hold the rowset taken last, whole
  TMOdbcRowsetCache::TScratch FCopyScratch;
  alignas(8) unsigned char FScratch[sizeof(SQL_TIMESTAMP_STRUCT)] = {};  // an unpacked timestamp
  TMRowsetArena FArena;  // the blocks of FBlockList
  std::vector<TMOdbcRowsetCache*> FBlockList;
  // The copied element Locate found last: a value's null test and its read ask for the same
  // one. The copies live as long as the result set, so their addresses name them.
  struct TLastElement {
    const TMOdbcRowsetCache* Cache = nullptr;
    int Row = -1, Column = -1;
    const unsigned char* E = nullptr;
    SQLLEN Ind = 0;
  } FLastElement;
};

}  // namespace vandrel
