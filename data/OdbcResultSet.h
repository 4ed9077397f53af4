#pragma once
// The ODBC result set: it executes a query on its own statement, binds the columns and
// fetches rows in rowsets of 20 as the position moves forward. Unless the query is
// forward-only, every fetched rowset is copied into a rowset cache and kept, so that rows
// already read are revisited without the server. Reaching the end closes and frees the
// statement at once.
#include <sql.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "data/DbLink.h"
#include "data/OdbcFieldData.h"
#include "data/OdbcHandle.h"

namespace vandrel {

class TMOdbcLink;

// The layout of one rowset copy: where each column's indicators and data lie in the one
// block a cache allocates. Shared by every cache of a result set.
struct TMOdbcRowsetLayout {
  std::vector<size_t> Offsets;  // per column: indicators first, then data
  size_t Size = 0;
};

// A copy of one fetched rowset. Its row handles are the addresses of the entries of FRows:
// entry r holds r, and the cache is found from the entry's address, so a handle costs one
// byte per row.
class TMOdbcRowsetCache {
 public:
  TMOdbcRowsetCache(const std::vector<std::unique_ptr<TMOdbcFieldData>>& FieldData,
                    const TMOdbcRowsetLayout& Layout);
  ~TMOdbcRowsetCache() { delete[] FCopy; }
  TMOdbcRowsetCache(const TMOdbcRowsetCache&) = delete;
  TMOdbcRowsetCache& operator=(const TMOdbcRowsetCache&) = delete;

  const SQLLEN* Indicators(int Column) const {
    return reinterpret_cast<const SQLLEN*>(FCopy + FLayout->Offsets[Column]);
  }
  const unsigned char* Data(int Column) const {
    return FCopy + FLayout->Offsets[Column] + sizeof(SQLLEN) * kOdbcRowsetSize;
  }
  void* RowHandle(int Row) { return &FRows[Row]; }
  // The cache and the row of a handle made by RowHandle.
  static TMOdbcRowsetCache* FromRowHandle(void* Handle, int& Row);

 private:
  unsigned char FRows[kOdbcRowsetSize];  // first member: its address is the cache's
  const TMOdbcRowsetLayout* FLayout;
  unsigned char* FCopy;
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
  bool ExternalIndexSupport() const override;
  void* GetExternalIndexData() override;

  // The open statement, null once every row is fetched.
  SQLHSTMT GetStatement() const { return FStatement.Get(); }
  const TMOdbcFieldData* GetFieldData(int Index) const { return FFieldData.at(Index).get(); }
  int GetBlockCount() const { return FBlocks; }
  int GetCachedBlockCount() const { return static_cast<int>(FBlockList.size()); }

 protected:
  void DoOpen(const AnsiString& SQL, TMParams* Params) override;

 private:
  bool ForwardOnly() const;
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
  bool Locate(int Index, const TMOdbcFieldData*& Field, const unsigned char*& Data, const SQLLEN*& Ind, int& Row);
  // Read applied to column Index of the current row; Default when there is no row.
  template <class T, class ReadFn>
  T ReadValue(int Index, T Default, ReadFn&& Read);

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
  TMOdbcRowsetLayout FLayout;
  std::vector<std::unique_ptr<TMOdbcRowsetCache>> FBlockList;
};

}  // namespace vandrel
