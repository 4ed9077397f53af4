#include "data/Params.h"

#include <algorithm>

#include "data/CustomDataSet.h"
#include "data/DataError.h"
#include "data/RuntimeInteger.h"
#include "foundation/MacList.h"
#include "foundation/TdtTools.h"
#include "foundation/TfTools.h"
#include "foundation/TxTools.h"
#include "foundation/Trim.h"
#include "foundation/TxfTools.h"

namespace vandrel {

namespace {

AnsiString Trimmed(const AnsiString& s) { return AnsiString(Trim(s)); }

}  // namespace

// ---- TMParam ----

void TMParam::UsedAsParameter() {
  if (FParamOption == mpoMacro) FParamOption = mpoInput;
}

void TMParam::SetAsString(const AnsiString& Value) {
  UsedAsParameter();
  FDataType = mftString;
  FValue = Value;
  FIsNull = false;
}

void TMParam::SetAsInteger(int Value) {
  UsedAsParameter();
  FDataType = mftInteger;
  FValue = std::to_string(Value);
  FIsNull = false;
}

void TMParam::SetAsFloat(double Value) {
  UsedAsParameter();
  FDataType = mftFloat;
  FValue = TfTools(Value).ToString(0, 12);
  FIsNull = false;
}

void TMParam::SetAsExtended(Extended Value) {
  UsedAsParameter();
  FDataType = mftExtended;
  FValue = TxfTools(Value).ToString(0, 12);
  FIsNull = false;
}

void TMParam::SetAsDateTime(TDateTime Value) {
  UsedAsParameter();
  FDataType = mftDateTime;
  FValue = TdtTools(Value).ToString(fmtDateTimeCompressed);
  FIsNull = false;
}

void TMParam::SetNull() {
  UsedAsParameter();
  FIsNull = true;
}

int TMParam::GetAsInteger() const {
  int v;
  if (!TryStrToInt(FValue, v)) throw EMDataError(351, FName);
  return v;
}

double TMParam::GetAsFloat() const {
  try {
    return TfTools(0.0).FromString(Trimmed(FValue), 12, true).Value;
  } catch (const Exception&) {
    throw EMDataError(352, FName);
  }
}

Extended TMParam::GetAsExtended() const {
  try {
    return TxfTools(0.0L).FromString(Trimmed(FValue), 12, true).Value;
  } catch (const Exception&) {
    throw EMDataError(353, FName);
  }
}

TDateTime TMParam::GetAsDateTime() const {
  try {
    return TdtTools(0.0).FromString(FValue, fmtDateTimeCompressed).Value;
  } catch (const Exception&) {
    throw EMDataError(372, FName);
  }
}

void TMParam::SetName(const AnsiString& Value) {
  AnsiString v = Trimmed(Value);
  if (v == FName) return;
  v = ValidateName(Value);
  if (!v.empty() && FCollection) {
    for (const auto& p : FCollection->FItems)
      if (p.get() != this && IsTheSameName(p->FName, v)) throw EMDataError(383, Value);
  }
  if ((FTypeField.empty() && FName.empty()) || FTypeField == FName) FTypeField = v;
  FName = v;
}

void TMParam::SetTypeTable(const AnsiString& Value) { FTypeTable = Trimmed(Value); }

void TMParam::SetTypeField(const AnsiString& Value) {
  AnsiString v = Trimmed(Value);
  if (v == FTypeField) return;
  FTypeField = v;
  if (!FName.empty()) return;
  AnsiString name;
  for (char c : TxTools(v).NoPl())
    if (IsAnotherNameChar(c)) name += c;
  if (!name.empty() && name[0] >= '0' && name[0] <= '9') name.insert(0, "_");
  try {
    SetName(name);
  } catch (const Exception&) {
    // A name that cannot be derived leaves the parameter unnamed.
  }
}

int TMParam::GetIndex() const { return FCollection ? FCollection->IndexOf(this) : -1; }

AnsiString TMParam::GetDisplayName() const { return FName.empty() ? AnsiString(ClassName()) : FName; }

AnsiString TMParam::GetNamePath() const {
  if (!FName.empty() && FCollection) return FCollection->GetNamePath() + "." + FName;
  AnsiString path = FCollection ? FCollection->GetNamePath() : AnsiString();
  return path + "[" + std::to_string(GetIndex()) + "]";
}

void TMParam::Assign(const TObject* Source) {
  if (!Source) return;
  if (!Source->ClassChainHas("TMParam"))
    throw Exception("Cannot assign a " + AnsiString(Source->ClassName()) + " to a TMParam");
  const auto* s = static_cast<const TMParam*>(Source);
  FDataType = s->FDataType;
  FIsNull = s->FIsNull;
  FValue = s->FValue;
  FParamOption = s->FParamOption;
  try {
    SetName(s->FName);
  } catch (const Exception&) {
    FName.clear();
  }
}

bool TMParam::IsFirstNameChar(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
}

bool TMParam::IsAnotherNameChar(char C) { return IsFirstNameChar(C) || (C >= '0' && C <= '9'); }

AnsiString TMParam::ValidateName(const AnsiString& Name) {
  AnsiString n = Trimmed(Name);
  if (!std::all_of(n.begin(), n.end(), IsAnotherNameChar)) throw EMDataError(381, Name);
  if (!n.empty() && !IsFirstNameChar(n[0])) throw EMDataError(382, Name);
  return n;
}

bool TMParam::IsTheSameName(const AnsiString& A, const AnsiString& B) {
  AnsiString a = Trimmed(A), b = Trimmed(B);
  if (a.empty() || b.empty() || a.size() != b.size()) return false;
  // Names hold ASCII characters only, so comparing without case is comparing bytes folded.
  return std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// ---- TMParams ----

TMParam* TMParams::GetParams(int Index) const {
  if (Index < 0 || Index >= GetCount()) throw EMDataError(385, std::to_string(Index));
  return FItems[Index].get();
}

void TMParams::SetParams(int Index, const TMParam* P) { GetParams(Index)->Assign(P); }

TMParam* TMParams::Find(const AnsiString& Name) const {
  for (const auto& p : FItems)
    if (TMParam::IsTheSameName(p->FName, Name)) return p.get();
  return nullptr;
}

TMParam* TMParams::ByName(const AnsiString& Name) const {
  TMParam* p = Find(Name);
  if (!p) throw EMDataError(386, Name);
  return p;
}

TMParam* TMParams::Add() {
  FItems.push_back(std::make_unique<TMParam>(this));
  return FItems.back().get();
}

void TMParams::Delete(int Index) {
  GetParams(Index);
  FItems.erase(FItems.begin() + Index);
}

int TMParams::IndexOf(const TMParam* P) const {
  for (int i = 0; i < GetCount(); ++i)
    if (FItems[i].get() == P) return i;
  return -1;
}

void TMParams::Assign(const TMParams& Source) {
  if (&Source == this) return;
  FItems.clear();
  for (const auto& s : Source.FItems) {
    TMParam* p = Add();
    p->Assign(s.get());
    p->FTypeTable = s->FTypeTable;
    p->FTypeField = s->FTypeField;
    p->FValueDataSet = s->FValueDataSet;
  }
}

AnsiString TMParams::GetNamePath() const {
  if (const auto* ds = dynamic_cast<const TMCustomDataSet*>(FOwner)) return ds->GetNamePath() + ".Params";
  return "Params";
}

AnsiString TMParams::AdjustToQueryText(const AnsiString& Text, TMacListOfIntegers* Indexes, bool KeepNames) {
  std::vector<AnsiString> names;
  AnsiString out;
  out.reserve(Text.size());
  AnsiString name;
  bool collecting = false, inSingle = false, inDouble = false;
  char previous = 0, current = 0;
  const size_t n = Text.size();
  for (size_t i = 0;; ++i) {
    // A doubled backslash escapes nothing: the second one does not count as an escape.
    previous = previous == '\\' && current == '\\' ? '/' : current;
    const bool atEnd = i >= n;
    current = atEnd ? 0 : Text[i];
    if (collecting) {
      if (!atEnd && TMParam::IsAnotherNameChar(current)) {
        name += current;
        continue;
      }
      names.push_back(name);
      if (const TMParam* p = Find(name)) {
        if (p->FParamOption == mpoMacro)
          out += p->FValue;
        else
          out += KeepNames ? ":" + name : AnsiString("?");
      }
      name.clear();
      collecting = false;
    }
    if (atEnd) break;
    if (current == '\r' || current == '\n') {
      inSingle = inDouble = false;
      out += current;
    } else if (inSingle) {
      if (current == '\'' && previous != '\\') inSingle = false;
      out += current;
    } else if (inDouble) {
      if (current == '"' && previous != '\\') inDouble = false;
      out += current;
    } else if (current == '\'') {
      inSingle = true;
      out += current;
    } else if (current == '"') {
      inDouble = true;
      out += current;
    } else if (current == '?') {
      // Question marks outside quotes are dropped: markers are written as ":name".
    } else if (current == ':' && i + 1 < n && TMParam::IsFirstNameChar(Text[i + 1])) {
      collecting = true;
      name = Text[++i];
      current = name[0];
    } else {
      out += current;
    }
  }

  for (size_t i = 0; i < FItems.size();) {
    const AnsiString& pn = FItems[i]->FName;
    bool used = std::any_of(names.begin(), names.end(), [&](const AnsiString& s) { return TMParam::IsTheSameName(pn, s); });
    bool repeated = false;
    for (size_t j = 0; j < i && !repeated; ++j) repeated = TMParam::IsTheSameName(FItems[j]->FName, pn);
    if (!used || repeated)
      FItems.erase(FItems.begin() + i);
    else
      ++i;
  }
  if (Indexes) Indexes->Clear();
  for (const AnsiString& s : names) {
    TMParam* p = Find(s);
    if (!p) {
      p = Add();
      p->SetName(s);
      p->FParamOption = mpoMacro;
    }
    if (Indexes && p->FParamOption != mpoMacro) Indexes->Add(IndexOf(p));
  }
  return out;
}

}  // namespace vandrel
