#pragma once
// The ODBC executor of an update component: it learns the SQL type of every parameter
// marker from the table column the parameter names (a type query), prepares the statement
// with the markers bound to arrays of up to 20 rows, fills one array row per added row and
// executes the arrays.
#include <sql.h>

#include <memory>
#include <vector>

#include "data/DbLink.h"
#include "data/OdbcFieldData.h"
#include "data/OdbcHandle.h"

namespace vandrel {

class TMOdbcLink;
class TMacListOfIntegers;
class TMacSetOfIntegers;

class TMOdbcSQLUpdate : public TMCustomSQLUpdate {
  VANDREL_CLASS(TMOdbcSQLUpdate, TMCustomSQLUpdate)
 public:
  TMOdbcSQLUpdate(TMOdbcLink* Link, int ArrayLen, TMUpdate* Update);
  ~TMOdbcSQLUpdate() override;

  void DestroyArrays();
  // The type query of one table: describes the columns of the parameters in ParamIndexes
  // and creates the field data of their markers.
  void CreateFieldDataForTable(const AnsiString& Table, const TMacSetOfIntegers& ParamIndexes,
                               const TMacListOfIntegers& MarkerIndexes);

  int GetMarkerCount() const { return static_cast<int>(FFieldData.size()); }
  const TMOdbcFieldData* GetFieldData(int Marker) const { return FFieldData.at(Marker).get(); }
  const AnsiString& GetStatementText() const { return FStatementText; }
  int GetArrayLen() const { return FArrayLen; }
  SQLHSTMT GetStatement() const { return FStatement.Get(); }

 protected:
  int DeclareMaxRowsPending() override { return FArrayLen; }
  void DoCreateArrays(const AnsiString& SQL, TMParams* Params) override;
  void DoPrepare() override;
  void DoAddRow(int Row) override;
  void DoFetchRows(int Count) override;
  void DoUnPrepare() override;

 private:
  TMOdbcLink* FLink;
  std::vector<std::unique_ptr<TMOdbcFieldData>> FFieldData;  // one per marker
  std::vector<int> FMarkerParams;                            // parameter index of each marker
  AnsiString FStatementText;
  SQLUSMALLINT FParamStatus[kOdbcRowsetSize] = {};
  SQLULEN FRowsProcessed = 0;
  TMOdbcHandle FStatement{SQL_HANDLE_STMT};
  int FArrayLen;
};

}  // namespace vandrel
