#include "data/OdbcSqlUpdate.h"

#include <sqlext.h>

#include <algorithm>

#include "data/CustomDataSet.h"
#include "data/OdbcCall.h"
#include "data/OdbcLink.h"
#include "data/OdbcResults.h"
#include "data/Params.h"
#include "data/SqlUpdate.h"
#include "foundation/MacList.h"
#include "foundation/MacSet.h"
#include "foundation/Trim.h"
#include "foundation/Utf8.h"

namespace vandrel {

namespace {

SQLPOINTER AsPointer(SQLULEN v) { return reinterpret_cast<SQLPOINTER>(v); }

bool SameTable(const AnsiString& A, const AnsiString& B) {
  return utf8::ToUpper(utf8::Decode(Trim(A))) == utf8::ToUpper(utf8::Decode(Trim(B)));
}

// Stores the value of one marker into array row Row, by the marker's field type.
template <class Source>
void StoreValue(TMOdbcFieldData& F, int Row, const Source& S) {
  switch (F.GetFieldType()) {
    case mftInteger: F.StoreInteger(Row, S.GetAsInteger()); break;
    case mftFloat: F.StoreFloat(Row, S.GetAsFloat()); break;
    case mftExtended: F.StoreExtended(Row, S.GetAsExtended()); break;
    case mftDateTime: F.StoreDateTime(Row, S.GetAsDateTime()); break;
    default: F.StoreString(Row, S.GetAsString()); break;
  }
}

}  // namespace

TMOdbcSQLUpdate::TMOdbcSQLUpdate(TMOdbcLink* Link, int ArrayLen, TMUpdate* Update)
    : TMCustomSQLUpdate(Update), FLink(Link), FArrayLen(std::clamp(ArrayLen, 1, kOdbcRowsetSize)) {}

TMOdbcSQLUpdate::~TMOdbcSQLUpdate() {
  DestroyArrays();
  BeforeDestruction();
}

void TMOdbcSQLUpdate::DestroyArrays() {
  FFieldData.clear();
  FMarkerParams.clear();
  FStatementText.clear();
}

void TMOdbcSQLUpdate::DoCreateArrays(const AnsiString& SQL, TMParams* Params) {
  DestroyArrays();
  try {
    TMacListOfIntegers markers;
    FStatementText = FLink->TextToSend(Params->AdjustToQueryText(SQL, &markers, false));
    TMacSetOfIntegers used;
    for (int m = 0; m < markers.GetCount(); ++m) used.Add(markers.GetValues(m));

    std::vector<AnsiString> tables;
    std::vector<std::unique_ptr<TMacSetOfIntegers>> tableParams;
    for (int i = 0; i < used.GetCount(); ++i) {
      const int p = used.GetValues(i);
      AnsiString table(Trim(Params->GetParams(p)->GetTypeTable()));
      if (table.empty()) table = AnsiString(Trim(FUpdate->GetTypeTable()));
      if (table.empty()) EMOdbcError::Raise(451);
      auto it = std::find_if(tables.begin(), tables.end(), [&](const AnsiString& t) { return SameTable(t, table); });
      if (it == tables.end()) {
        tables.push_back(table);
        tableParams.push_back(std::make_unique<TMacSetOfIntegers>());
        it = tables.end() - 1;
      }
      tableParams[it - tables.begin()]->Add(p);
    }

    FFieldData.resize(markers.GetCount());
    for (int m = 0; m < markers.GetCount(); ++m) FMarkerParams.push_back(markers.GetValues(m));
    for (size_t t = 0; t < tables.size(); ++t) CreateFieldDataForTable(tables[t], *tableParams[t], markers);
    // A marker whose column the type query did not describe has no type to bind: refused
    // here, before anything is prepared.
    for (const auto& f : FFieldData)
      if (!f) EMOdbcError::Raise(456);
  } catch (...) {
    DestroyArrays();
    throw;
  }
}

void TMOdbcSQLUpdate::CreateFieldDataForTable(const AnsiString& Table, const TMacSetOfIntegers& ParamIndexes,
                                              const TMacListOfIntegers& MarkerIndexes) {
  TMOdbcHandle st(SQL_HANDLE_STMT);
  st.Allocate(&FLink->GetConnection(), 453);
  SQLUSMALLINT status = 0;
  SQLULEN fetched = 0;
  int n = 0;
  // The cursor is closed before the statement goes, also when a step fails.
  struct CursorCloser {
    const TMOdbcHandle& St;
    const int& N;
    ~CursorCloser() {
      if (N > 0) OdbcCall({morAnyResult}, SQLCloseCursor, St.Get());
    }
  } closer{st, n};
  auto attr = [&](SQLINTEGER a, SQLPOINTER v, int code) {
    OdbcCall({morSucceed, code, &st}, SQLSetStmtAttr, st.Get(), a, v, 0);
  };
  attr(SQL_ATTR_ROW_BIND_TYPE, AsPointer(SQL_BIND_BY_COLUMN), 471);
  attr(SQL_ATTR_ROW_ARRAY_SIZE, AsPointer(1), 472);
  attr(SQL_ATTR_ROW_STATUS_PTR, &status, 473);
  attr(SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 474);
  attr(SQL_ATTR_CURSOR_TYPE, AsPointer(SQL_CURSOR_FORWARD_ONLY), 475);
  attr(SQL_ATTR_CONCURRENCY, AsPointer(SQL_CONCUR_READ_ONLY), 476);

  TMParams* params = FUpdate->GetParams();
  AnsiString text = "select\r\n ";
  for (int i = 0; i < ParamIndexes.GetCount(); ++i) {
    const TMParam* p = params->GetParams(ParamIndexes.GetValues(i));
    AnsiString field(Trim(p->GetTypeField()));
    if (field.empty()) EMOdbcError::Raise(452);
    if (i > 0) text += ",\r\n ";
    text += field + " as " + p->GetName();
  }
  // Described without rows: the types come from the columns, and a large table is not
  // streamed to the client first.
  text += "\r\nfrom " + Table + "\r\nwhere 1=0\r\n";
  OdbcCall({morNoDataPasses, 454, &st}, SQLExecDirect, st.Get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  SQLSMALLINT cols = 0;
  OdbcCall({morSucceed, 455, &st}, SQLNumResultCols, st.Get(), &cols);
  n = std::clamp<int>(cols, 0, ParamIndexes.GetCount());
  for (int c = 0; c < n; ++c) {
    const int pi = ParamIndexes.GetValues(c);
    TMParam* p = params->GetParams(pi);
    SQLCHAR name[256 + 1] = {};
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    OdbcCall({morSucceed, 456, &st}, SQLDescribeCol, st.Get(), static_cast<SQLUSMALLINT>(c + 1), name,
             SQLSMALLINT{256}, &nameLength, &sqlType, &size, &digits, &nullable);
    for (int m = 0; m < MarkerIndexes.GetCount(); ++m) {
      if (MarkerIndexes.GetValues(m) != pi || FFieldData[m]) continue;
      FFieldData[m] = std::make_unique<TMOdbcFieldData>(p->GetName(), digits, size, sqlType);
      FFieldData[m]->Param = p;
    }
  }
}

void TMOdbcSQLUpdate::DoPrepare() {
  for (auto& f : FFieldData) {
    f->ValueField = nullptr;
    if (!f->Param) continue;
    TMCustomDataSet* ds = f->Param->GetValueDataSet() ? f->Param->GetValueDataSet() : FUpdate->GetValueDataSet();
    if (ds) f->ValueField = ds->FindField(f->Param->GetName());
  }
  FStatement.Allocate(&FLink->GetConnection(), 461);
  try {
    if (FArrayLen > 1) {
      auto attr = [&](SQLINTEGER a, SQLPOINTER v, int code) {
        OdbcCall({morSucceed, code, &FStatement}, SQLSetStmtAttr, FStatement.Get(), a, v, 0);
      };
      attr(SQL_ATTR_PARAM_BIND_TYPE, AsPointer(SQL_PARAM_BIND_BY_COLUMN), 481);
      attr(SQL_ATTR_PARAMSET_SIZE, AsPointer(static_cast<SQLULEN>(FArrayLen)), 482);
      attr(SQL_ATTR_PARAM_STATUS_PTR, FParamStatus, 483);
      attr(SQL_ATTR_PARAMS_PROCESSED_PTR, &FRowsProcessed, 484);
    }
    OdbcCall({morSucceed, 463, &FStatement}, SQLPrepare, FStatement.Get(),
             reinterpret_cast<SQLCHAR*>(FStatementText.data()), SQL_NTS);
    for (size_t m = 0; m < FFieldData.size(); ++m) {
      TMOdbcFieldData& f = *FFieldData[m];
      OdbcCall({morSucceed, 462, &FStatement}, SQLBindParameter, FStatement.Get(), static_cast<SQLUSMALLINT>(m + 1),
               SQLSMALLINT{SQL_PARAM_INPUT}, f.GetCType(), f.GetSqlType(), static_cast<SQLULEN>(f.GetColumnSize()),
               static_cast<SQLSMALLINT>(f.GetDecimalDigits()), f.GetData(), SQLLEN{f.GetElementSize()},
               f.GetIndicators());
    }
  } catch (...) {
    // A failed prepare leaves no statement.
    FStatement.Free();
    throw;
  }
}

void TMOdbcSQLUpdate::DoAddRow(int Row) {
  for (auto& f : FFieldData) {
    if (f->ValueField) {
      if (f->ValueField->GetIsNull())
        f->StoreNull(Row);
      else
        StoreValue(*f, Row, *f->ValueField);
    } else if (f->Param && !f->Param->GetIsNull()) {
      StoreValue(*f, Row, *f->Param);
    } else {
      f->StoreNull(Row);
    }
  }
}

void TMOdbcSQLUpdate::DoFetchRows(int Count) {
  if (FArrayLen > 1)
    OdbcCall({morSucceed, 464, &FStatement}, SQLSetStmtAttr, FStatement.Get(), SQLINTEGER{SQL_ATTR_PARAMSET_SIZE},
             AsPointer(static_cast<SQLULEN>(Count)), 0);
  std::fill(FParamStatus, FParamStatus + Count, 0);
  const SQLRETURN rc = OdbcCall({morNoDataPasses, 465, &FStatement}, SQLExecute, FStatement.Get());
  if (FArrayLen > 1 && (rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA)) {
    for (int r = 0; r < Count; ++r) {
      // The row's records are read whatever the return code, SQL_NO_DATA included.
      if (FParamStatus[r] == SQL_PARAM_ERROR)
        EMOdbcError::RaiseWithDiagnostics(466, rc, SQL_HANDLE_STMT, FStatement.Get());
      if (FParamStatus[r] == SQL_PARAM_UNUSED)
        EMOdbcError::RaiseWithDiagnostics(467, rc, SQL_HANDLE_STMT, FStatement.Get());
    }
  }
  // The results that follow (further parameter rows, a trigger's error) are read, so
  // that the statement is ready for the next array and a late error is not lost.
  TMOdbcResults rest(FStatement, 465, nullptr);
  rest.Drain();
  rest.RaiseFirstError();
}

void TMOdbcSQLUpdate::DoUnPrepare() { FStatement.Free(); }

}  // namespace vandrel
