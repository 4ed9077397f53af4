#pragma once
// The link through which a visual control follows a dataset: it receives the dataset's
// notifications and gives the control access to field texts by field name.
#include <functional>
#include <vector>

#include "data/CustomDataSet.h"

namespace vandrel {

class TMDataInterface : public TObject {
  VANDREL_CLASS(TMDataInterface, TObject)
 public:
  using TMDataInterfaceNotifyEvent =
      std::function<void(TMDataInterface* Sender, TMDataInterfaceAction Action, int Param)>;

  TMDataInterface(TObject* Owner, TObject* Control);
  ~TMDataInterface() override;
  TMDataInterface(const TMDataInterface&) = delete;
  TMDataInterface& operator=(const TMDataInterface&) = delete;

  // The control this interface serves, kept for the owner's use.
  TObject* GetControl() const { return FControl; }
  TObject* GetComponentOwner() const { return FOwner; }

  TMDataInterfaceNotifyEvent OnNotify;

  TMCustomDataSet* GetDataSet() const { return FDataSet; }
  // Detaches from the old dataset (diaDetached) and attaches to the new one (diaAttached).
  void SetDataSet(TMCustomDataSet* DataSet);
  // Calls OnNotify when DataSet is the attached dataset.
  void NotifyOwner(TMCustomDataSet* DataSet, TMDataInterfaceAction Action, int Param);

  // Field access by name; each works only on an attached, active, non-empty dataset with
  // that field. The setters also need a dataset that is not read-only and otherwise do
  // nothing.
  AnsiString GetEditText(const AnsiString& FieldName);
  AnsiString GetDisplayText(const AnsiString& FieldName);
  void GetDropList(const AnsiString& FieldName, std::vector<AnsiString>& Strings, int& Rows);
  void PrepareCalendar(const AnsiString& FieldName, TMCalendarData& CalData);
  void RiseBtnClickEvent(const AnsiString& FieldName, bool& Down);
  void SetEditText(const AnsiString& FieldName, const AnsiString& Text);
  void SetFromDropList(const AnsiString& FieldName, const AnsiString& Text, int DropPos);
  void SetFromDateTimeEditor(const AnsiString& FieldName, TDateTime Value);

 private:
  friend class TMCustomDataSet;

  // The field of an attached, active, non-empty dataset, or none.
  TMField* ReadableField(const AnsiString& FieldName);
  TMField* WritableField(const AnsiString& FieldName);

  TObject* FOwner;
  TObject* FControl;
  TMCustomDataSet* FDataSet = nullptr;
};

}  // namespace vandrel
