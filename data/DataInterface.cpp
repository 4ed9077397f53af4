#include "data/DataInterface.h"

namespace vandrel {

TMDataInterface::TMDataInterface(TObject* Owner, TObject* Control)
    : FOwner(Owner), FControl(Control) {}

TMDataInterface::~TMDataInterface() {
  try {
    SetDataSet(nullptr);
  } catch (...) {
    if (FDataSet != nullptr) {
      FDataSet->RemoveInterface(this);
      FDataSet = nullptr;
    }
  }
  OnNotify = nullptr;
}

void TMDataInterface::SetDataSet(TMCustomDataSet* DataSet) {
  if (DataSet == FDataSet) return;
  if (FDataSet != nullptr) {
    TMCustomDataSet* Old = FDataSet;
    // The interface leaves the old list even when the handler raises.
    struct Remove {
      TMDataInterface* Self;
      TMCustomDataSet* From;
      ~Remove() {
        From->RemoveInterface(Self);
        Self->FDataSet = nullptr;
      }
    } Leave{this, Old};
    if (OnNotify) OnNotify(this, diaDetached, 0);
  }
  FDataSet = DataSet;
  if (DataSet != nullptr) {
    DataSet->AddInterface(this);
    if (OnNotify) OnNotify(this, diaAttached, 0);
  }
}

void TMDataInterface::NotifyOwner(TMCustomDataSet* DataSet, TMDataInterfaceAction Action,
                                  int Param) {
  if (OnNotify && DataSet == FDataSet) OnNotify(this, Action, Param);
}

TMField* TMDataInterface::ReadableField(const AnsiString& FieldName) {
  if (FDataSet == nullptr || !FDataSet->GetActive() || FDataSet->GetIsEmpty()) return nullptr;
  return FDataSet->FindField(FieldName);
}

TMField* TMDataInterface::WritableField(const AnsiString& FieldName) {
  TMField* Field = ReadableField(FieldName);
  return Field != nullptr && !FDataSet->GetReadOnly() ? Field : nullptr;
}

AnsiString TMDataInterface::GetEditText(const AnsiString& FieldName) {
  TMField* Field = ReadableField(FieldName);
  return Field != nullptr ? Field->GetEditText() : AnsiString();
}

AnsiString TMDataInterface::GetDisplayText(const AnsiString& FieldName) {
  TMField* Field = ReadableField(FieldName);
  return Field != nullptr ? Field->GetDisplayText() : AnsiString();
}

void TMDataInterface::GetDropList(const AnsiString& FieldName, std::vector<AnsiString>& Strings,
                                  int& Rows) {
  if (TMField* Field = ReadableField(FieldName)) Field->GetDropList(Strings, Rows);
}

void TMDataInterface::PrepareCalendar(const AnsiString& FieldName, TMCalendarData& CalData) {
  if (TMField* Field = ReadableField(FieldName)) Field->PrepareCalendar(CalData);
}

void TMDataInterface::RiseBtnClickEvent(const AnsiString& FieldName, bool& Down) {
  if (TMField* Field = ReadableField(FieldName)) Field->RiseBtnClickEvent(Down);
}

void TMDataInterface::SetEditText(const AnsiString& FieldName, const AnsiString& Text) {
  if (TMField* Field = WritableField(FieldName)) Field->SetEditText(Text);
}

void TMDataInterface::SetFromDropList(const AnsiString& FieldName, const AnsiString& Text,
                                      int DropPos) {
  if (TMField* Field = WritableField(FieldName)) Field->SetFromDropList(Text, DropPos);
}

void TMDataInterface::SetFromDateTimeEditor(const AnsiString& FieldName, TDateTime Value) {
  if (TMField* Field = WritableField(FieldName)) Field->SetFromDateTimeEditor(Value);
}

}  // namespace vandrel
