#pragma once
// The update component: one parameterised data-changing statement run many times with
// different values. Its parameters are real bound parameters whose SQL types come from the
// table columns they name; values come from the parameters or from a value dataset's
// fields of the same name. Rows are collected into parameter arrays and executed in one
// call per array by the link's executor.
#include <memory>

#include "data/DbLink.h"
#include "data/Params.h"
#include "data/StringList.h"

namespace vandrel {

class TMCustomDataSet;

class TMUpdate : public TObject {
  VANDREL_CLASS(TMUpdate, TObject)
 public:
  explicit TMUpdate(TObject* Owner = nullptr);
  ~TMUpdate() override;
  TMUpdate(const TMUpdate&) = delete;
  TMUpdate& operator=(const TMUpdate&) = delete;

  // The component's name and tag.
  AnsiString Name;
  int Tag = 0;
  TObject* GetComponentOwner() const { return FOwner; }

  TMParams* GetParams() const { return FParams.get(); }
  void SetParams(const TMParams& Value) { FParams->Assign(Value); }
  TStringList& GetSQL() { return FSQL; }
  void SetSQL(const TStringList& Value) { FSQL.Assign(Value); }
  AnsiString GetSQLText() const { return FSQL.GetText(); }
  const AnsiString& GetTypeTable() const { return FTypeTable; }
  void SetTypeTable(const AnsiString& Value);
  TMCustomDBLink* GetLink() const { return FLink; }
  // Moves the update from its old link's list to the new one's. Inside an update bracket
  // the link is fixed (its executor holds a statement of that link's connection): a change
  // raises EMDataError 397.
  void SetLink(TMCustomDBLink* Value);
  TMCustomDataSet* GetValueDataSet() const { return FValueDataSet; }
  void SetValueDataSet(TMCustomDataSet* Value) { FValueDataSet = Value; }

  int GetParamCount() const { return FParams->GetCount(); }
  TMParam* ParamByName(const AnsiString& Name) const { return FParams->ByName(Name); }
  TMParam* FindParam(const AnsiString& Name) const { return FParams->Find(Name); }

  // Opens an update bracket: the executor with its parameter arrays (397 without a
  // connected link, 398 for a link without parameterised updates).
  void BeginUpdate();
  // Inside a bracket: adds one row (executing the array when full) and returns the rows
  // executed; outside: executes the statement once, leaving no executor behind.
  int ExecSQL();
  // Executes the rows still pending and unprepares.
  void Fetch();
  // Closes the bracket; rows added and not executed are dropped. Never raises.
  void EndUpdate() noexcept;

  TMCustomSQLUpdate* GetExecutor() const { return FExecutor.get(); }

 private:
  TObject* FOwner;
  std::unique_ptr<TMParams> FParams;
  TStringList FSQL;
  AnsiString FTypeTable;
  TMCustomDBLink* FLink = nullptr;
  std::unique_ptr<TMCustomSQLUpdate> FExecutor;
  TMCustomDataSet* FValueDataSet = nullptr;
};

}  // namespace vandrel
