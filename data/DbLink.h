#pragma once
// The abstract database link and its two companions: the link holds the connected state,
// the connect/disconnect protocol, transactions, one-shot statements and the attached
// queries; the result set is the cursor of one query; the SQL update runs one
// parameterised statement over many rows. Every database operation is wrapped in the
// before/after/error notifications of OnQuery; a concrete link fills in the Do steps.
#include <cstdint>
#include <functional>
#include <vector>

#include "data/FieldTypes.h"
#include "foundation/Exception.h"
#include "foundation/Object.h"

namespace vandrel {

class TKMQuery;
class TMUpdate;
class TMParams;
class TMCustomResultSet;
class TMCustomSQLUpdate;

// What a one-call read of a column found.
enum TMReadState : std::uint8_t {
  rsValue = 0,
  rsNull = 1,
  rsNoRow = 2,  // no current row: nothing was read
};

// The contexts of OnQuery: three per wrapped operation (before, after, error).
enum TMQueryContext : std::uint8_t {
  mqcExecBefore = 0,
  mqcExecAfter = 1,
  mqcExecError = 2,
  mqcOpenBefore = 3,
  mqcOpenAfter = 4,
  mqcOpenError = 5,
  mqcPositionBefore = 6,
  mqcPositionAfter = 7,
  mqcPositionError = 8,
  mqcCreateArraysBefore = 9,
  mqcCreateArraysAfter = 10,
  mqcCreateArraysError = 11,
  mqcPrepareBefore = 12,
  mqcPrepareAfter = 13,
  mqcPrepareError = 14,
  mqcFetchRowsBefore = 15,
  mqcFetchRowsAfter = 16,
  mqcFetchRowsError = 17,
};

class TMCustomDBLink : public TObject {
  VANDREL_CLASS(TMCustomDBLink, TObject)
 public:
  using TBeforeConnectEvent = std::function<void(TMCustomDBLink* Sender, AnsiString& UserID, AnsiString& Password)>;
  using TAfterConnectChangeEvent = std::function<void(TObject* Sender)>;
  using TQueryEvent = std::function<void(TMCustomDBLink* Sender, AnsiString& Text, TMParams* Params,
                                         TMQueryContext QueryContext, const Exception* E)>;

  explicit TMCustomDBLink(TObject* Owner = nullptr) : FOwner(Owner) {}
  // A concrete link's destructor calls BeforeDestruction first, while its Do steps exist.
  ~TMCustomDBLink() override;
  TMCustomDBLink(const TMCustomDBLink&) = delete;
  TMCustomDBLink& operator=(const TMCustomDBLink&) = delete;

  // The component's name and tag.
  AnsiString Name;
  int Tag = 0;
  TObject* GetComponentOwner() const { return FOwner; }

  TBeforeConnectEvent OnBeforeConnect;
  TAfterConnectChangeEvent OnAfterConnectChange;
  TQueryEvent OnQuery;

  virtual TMCustomResultSet* CreateResultSet(TKMQuery* Query) = 0;
  virtual TMCustomSQLUpdate* CreateSQLUpdate(TMUpdate* Update);

  bool GetConnected() const { return FConnected; }
  void SetConnected(bool Value);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }
  virtual bool IsReallyConnected() { return FConnected; }
  void CheckConnected() const;

  virtual bool GetInTransaction() const = 0;
  void StartTransaction();
  void Commit();
  void Rollback() noexcept;

  void ExecSQL(const AnsiString& SQL, TMParams* Params);

  int GetQueryCount() const { return static_cast<int>(FQueries.size()); }
  TKMQuery* GetQueries(int i) const;

  // Unassigns OnAfterConnectChange, disconnects, closes every query (also one that is open
  // without the connection), then detaches every query and update component; safe to
  // call more than once.
  void BeforeDestruction();

  // The wrapped-operation pattern: OnQuery before, Operation, OnQuery after or on error
  // (then the same exception goes on). MakeText yields the statement text; it is built
  // only when someone reads it (OnQuery or the operation). Operation gets the text.
  template <class MakeTextFn, class OperationFn>
  void Wrapped(MakeTextFn&& MakeText, TMParams* Params, TMQueryContext Before, OperationFn&& Operation);

  // Query list maintenance, used by the query's Link setter.
  void AttachQuery(TKMQuery* Query) { FQueries.push_back(Query); }
  void DetachQuery(TKMQuery* Query);
  // Update list maintenance, used by the update component's Link setter.
  void AttachUpdate(TMUpdate* Update) { FUpdates.push_back(Update); }
  void DetachUpdate(TMUpdate* Update);

 protected:
  virtual void DoConnect(const AnsiString& UserID, const AnsiString& Password) = 0;
  virtual void DoDisconnect() = 0;
  virtual void DoStartTransaction() = 0;
  virtual void DoCommit() = 0;
  virtual void DoRollback() = 0;
  virtual void DoExecSQL(const AnsiString& SQL, TMParams* Params) = 0;

 private:
  void NotifyError(AnsiString& Text, TMParams* Params, TMQueryContext Context, const Exception* E);
  // Closes every attached query, by index from 0 while the index is below the count.
  void CloseQueries();
  // Ends the update bracket of every attached update component: their statements belong
  // to the connection.
  void EndUpdates() noexcept;
  // Closes, then detaches every query and update component.
  void DetachAll() noexcept;

  TObject* FOwner;
  std::vector<TKMQuery*> FQueries;   // not owned
  std::vector<TMUpdate*> FUpdates;   // not owned
  bool FConnected = false;
};

template <class MakeTextFn, class OperationFn>
void TMCustomDBLink::Wrapped(MakeTextFn&& MakeText, TMParams* Params, TMQueryContext Before,
                             OperationFn&& Operation) {
  AnsiString Text;
  bool made = false;
  auto text = [&]() -> AnsiString& {
    if (!made) {
      Text = MakeText();
      made = true;
    }
    return Text;
  };
  if (OnQuery) OnQuery(this, text(), Params, Before, nullptr);
  try {
    Operation(text);
  } catch (const Exception& e) {
    if (OnQuery) NotifyError(text(), Params, static_cast<TMQueryContext>(Before + 2), &e);
    throw;
  } catch (...) {
    if (OnQuery) NotifyError(text(), Params, static_cast<TMQueryContext>(Before + 2), nullptr);
    throw;
  }
  if (OnQuery) OnQuery(this, text(), Params, static_cast<TMQueryContext>(Before + 1), nullptr);
}

// The cursor over the rows of one query.
class TMCustomResultSet : public TObject {
  VANDREL_CLASS(TMCustomResultSet, TObject)
 public:
  TMCustomResultSet(TMCustomDBLink* Link, TKMQuery* Query) : FLink(Link), FQuery(Query) {}

  virtual int GetFieldCount() = 0;
  virtual int GetPosition() = 0;
  virtual void SetPosition(int Row) = 0;
  // Moves to Row exactly as SetPosition would when the rows at hand hold it (nothing to
  // fetch) and answers true; false, nothing done, otherwise. Not wrapped in the positioning
  // contexts: the caller steps this way only when nobody listens to them.
  virtual bool TryStep(int /*Row*/) { return false; }
  virtual int GetCount() = 0;
  virtual bool GetCountKnown() = 0;
  virtual bool GetIsEmpty() = 0;
  virtual AnsiString GetFieldName(int Index) = 0;
  virtual TMFieldType GetFieldType(int Index) = 0;
  // The decimals column Index declares (a decimal column's scale), -1 when it declares none.
  virtual int GetFieldScale(int /*Index*/) { return -1; }
  virtual bool IsFieldNull(int Index) = 0;
  virtual AnsiString GetStringFieldValue(int Index) = 0;
  virtual int GetIntegerFieldValue(int Index) = 0;
  virtual double GetFloatFieldValue(int Index) = 0;
  virtual long double GetExtendedFieldValue(int Index) = 0;
  virtual TDateTime GetDateTimeFieldValue(int Index) = 0;
  // The null test and the value of column Index in one call, the way a field of a query
  // without a cache reads: Value is set only when the answer is rsValue; rsNoRow when there
  // is no current row to read (the field then asks the dataset the general way).
  virtual TMReadState ReadNullOrString(int Index, AnsiString& Value) = 0;
  virtual TMReadState ReadNullOrInteger(int Index, int& Value) = 0;
  virtual TMReadState ReadNullOrFloat(int Index, double& Value) = 0;
  virtual TMReadState ReadNullOrExtended(int Index, long double& Value) = 0;
  virtual TMReadState ReadNullOrDateTime(int Index, TDateTime& Value) = 0;
  // The null test alone, answered the same way (rsValue: not null).
  virtual TMReadState ReadNullState(int Index) = 0;
  virtual bool ExternalIndexSupport() const { return false; }
  virtual void* GetExternalIndexData() { return nullptr; }

  // Checks the link, then runs DoOpen in the open contexts.
  void Open(const AnsiString& SQL, TMParams* Params);
  // Runs SetPosition in the positioning contexts, reporting the query's text and Params.
  void SetPositionCommonCode(int Row);

  TMCustomDBLink* GetLink() const { return FLink; }
  TKMQuery* GetQuery() const { return FQuery; }
  // The row handle installed by the query: value getters read that row while it is set.
  void* FExternalIndex = nullptr;

 protected:
  virtual void DoOpen(const AnsiString& SQL, TMParams* Params) = 0;

  TMCustomDBLink* FLink;
  TKMQuery* FQuery;
};

// The executor of one parameterised statement over many rows, in arrays of pending rows.
class TMCustomSQLUpdate : public TObject {
  VANDREL_CLASS(TMCustomSQLUpdate, TObject)
 public:
  explicit TMCustomSQLUpdate(TMUpdate* Update) : FUpdate(Update) {}

  void CreateArrays();
  void Prepare();
  int AddRow();
  int FetchRows();
  void DiscardRows() { FRowsPending = 0; }
  void UnPrepare();
  // Discards pending rows and unprepares; a concrete executor's destructor calls it.
  void BeforeDestruction();

  TMUpdate* GetUpdate() const { return FUpdate; }
  int GetMaxRowsPending() const { return FMaxRowsPending; }
  int GetRowsPending() const { return FRowsPending; }
  bool GetPrepared() const { return FPrepared; }

 protected:
  virtual int DeclareMaxRowsPending() = 0;
  virtual void DoCreateArrays(const AnsiString& SQL, TMParams* Params) = 0;
  virtual void DoPrepare() = 0;
  virtual void DoAddRow(int Row) = 0;
  virtual void DoFetchRows(int Count) = 0;
  virtual void DoUnPrepare() = 0;

  TMUpdate* FUpdate;
  int FMaxRowsPending = 1;
  int FRowsPending = 0;
  bool FPrepared = false;

 private:
  TMCustomDBLink* UpdateLink() const;
};

}  // namespace vandrel
