// Field rules other than the conversions: dataset checks, read-only and no-change writes,
// notifications, comparison, names, binding to result columns, assignment, editing hooks.
#include <gtest/gtest.h>

#include "data/DataError.h"
#include "data/tests/DataTestSupport.h"
#include "foundation/MacSet.h"

namespace vandrel {
namespace {

class FieldTest : public ::testing::Test {
 protected:
  void SetUp() override { test::AddFiveFields(DS); }
  TMField* F(const char* Name) { return DS.FieldByName(Name); }

  platform::TRegionalSettingsGuard Regional{test::Settings(',')};
  TMDataSet DS;
};

TEST_F(FieldTest, ValueAccessNeedsAnActiveNonEmptyDataSet) {
  EXPECT_EQ(test::CodeOf([&] { F("I")->GetAsInteger(); }), 341);
  EXPECT_EQ(test::CodeOf([&] { F("I")->SetAsInteger(1); }), 341);
  EXPECT_EQ(test::CodeOf([&] { F("I")->GetWasNull(); }), 341);
  DS.Open();
  EXPECT_EQ(test::CodeOf([&] { F("I")->GetAsInteger(); }), 343);
  EXPECT_EQ(test::CodeOf([&] { F("I")->GetIsNull(); }), 343);
  EXPECT_EQ(test::CodeOf([&] { F("I")->SetNull(); }), 343);
  // The previous-value readers accept an empty dataset.
  EXPECT_TRUE(F("I")->GetWasNull());
  EXPECT_EQ(F("I")->GetPreviousInteger(), 0);
  EXPECT_EQ(F("D")->GetPreviousDateTime(), 25569.0);

  TMFields Loose(nullptr);
  EXPECT_EQ(test::CodeOf([&] { Loose.Add()->GetAsString(); }), 331);
}

TEST_F(FieldTest, AnUnboundFieldReadsNullAndIgnoresWrites) {
  test::OpenWithOneRecord(DS);
  TMField* Late = DS.GetFields()->Add();  // added while open: not in the record layout
  EXPECT_EQ(Late->DSIndex, -1);
  Late->SetAsInteger(5);
  EXPECT_TRUE(Late->GetIsNull());
  EXPECT_EQ(Late->GetAsInteger(), 0);
  EXPECT_TRUE(Late->GetWasNull());
}

TEST_F(FieldTest, ReadOnlyRefusesChangesButNotEqualValues) {
  test::OpenWithOneRecord(DS);
  F("I")->SetAsInteger(7);
  F("S")->SetAsString("x");
  DS.SetReadOnly(true);
  test::TNotificationLog Log(&DS);

  F("I")->SetAsInteger(7);
  F("I")->SetAsString("7");
  F("I")->SetAsFloat(7.2);  // rounds to the stored value
  F("S")->SetAsString("x");
  F("F")->SetNull();  // already null
  EXPECT_TRUE(Log.Entries.empty());

  EXPECT_EQ(test::CodeOf([&] { F("I")->SetAsInteger(8); }), 344);
  EXPECT_EQ(test::CodeOf([&] { F("S")->SetAsString("X"); }), 344);  // strings compare exactly
  EXPECT_EQ(test::CodeOf([&] { F("I")->SetNull(); }), 344);
  EXPECT_EQ(test::CodeOf([&] { F("F")->SetAsFloat(0.0); }), 344);  // null differs from 0
  EXPECT_EQ(test::CodeOf([&] { DS.Append(); }), 344);
  EXPECT_EQ(test::CodeOf([&] { DS.Insert(); }), 344);
  EXPECT_EQ(test::CodeOf([&] { DS.Delete(); }), 344);
  EXPECT_EQ(F("I")->GetAsInteger(), 7);
  EXPECT_TRUE(Log.Entries.empty());
}

TEST_F(FieldTest, ChangesNotifyWithTheFieldIndex) {
  test::OpenWithOneRecord(DS);
  test::TNotificationLog Log(&DS);
  F("F")->SetAsFloat(1.5);
  F("F")->SetAsFloat(1.5);
  F("S")->SetNull();  // already null: nothing
  F("S")->SetAsString("a");
  F("S")->SetNull();
  F("X")->Refresh();
  DS.GetFields()->RefreshAll();
  const std::vector<std::pair<TMDataInterfaceAction, int>> Expected = {
      {diaFieldChanged, 2}, {diaFieldChanged, 0}, {diaFieldChanged, 0},
      {diaFieldChanged, 3}, {diaFieldChanged, -1}};
  EXPECT_EQ(Log.Entries, Expected);
}

TEST_F(FieldTest, CompareOrdersNullsFirstAndPicksTheComparisonByDataType) {
  test::OpenWithOneRecord(DS);
  TMDataSet Other;
  test::AddFiveFields(Other);
  test::OpenWithOneRecord(Other);
  auto O = [&](const char* Name) { return Other.FieldByName(Name); };

  EXPECT_EQ(F("I")->Compare(O("S"), false), 0);  // both null
  O("S")->SetAsString("");
  EXPECT_EQ(F("I")->Compare(O("S"), false), -1);
  EXPECT_EQ(O("S")->Compare(F("D"), false), 1);

  F("I")->SetAsInteger(10);
  O("S")->SetAsString("9");
  EXPECT_LT(F("I")->Compare(O("S"), false), 0);  // as texts: "10" before "9"
  O("I")->SetAsInteger(9);
  EXPECT_EQ(F("I")->Compare(O("I"), false), 1);
  O("F")->SetAsFloat(10.4);
  EXPECT_EQ(F("I")->Compare(O("F"), false), 0);  // integer against float: as integers
  F("F")->SetAsFloat(10.3);
  EXPECT_EQ(F("F")->Compare(O("F"), false), -1);
  F("X")->SetAsExtended(1.0L + 1e-18L);
  O("X")->SetAsExtended(1.0L);
  EXPECT_EQ(F("X")->Compare(O("X"), false), 1);  // extended precision kept
  O("D")->SetAsDateTime(45356.5);
  EXPECT_EQ(F("F")->Compare(O("D"), false), -1);  // float against date-time: as doubles
}

TEST_F(FieldTest, StringComparisonUsesThePolishCollation) {
  [[maybe_unused]] test::TLocPathLeakIgnored Ignored;
  platform::TCollationGuard Restore;
  if (!test::UsePolishCollation()) GTEST_SKIP() << "no pl_PL.UTF-8 locale";
  test::OpenWithOneRecord(DS);
  TMDataSet Other;
  test::AddFiveFields(Other);
  test::OpenWithOneRecord(Other);
  auto Cmp = [&](const char* A, const char* B, bool CaseInsensitive) {
    F("S")->SetAsString(A);
    Other.FieldByName("S")->SetAsString(B);
    const int R = F("S")->Compare(Other.FieldByName("S"), CaseInsensitive);
    return R < 0 ? -1 : (R > 0 ? 1 : 0);
  };
  EXPECT_EQ(Cmp("ą", "b", false), -1);  // byte order would put ą after every ASCII letter
  EXPECT_EQ(Cmp("a", "ą", false), -1);
  EXPECT_EQ(Cmp("łódź", "lody", false), 1);
  EXPECT_EQ(Cmp("łódź", "mama", false), -1);
  EXPECT_EQ(Cmp("źle", "żaba", false), -1);
  EXPECT_EQ(Cmp("żaba", "zebra", false), 1);
  EXPECT_EQ(Cmp("ŁÓDŹ", "łódź", true), 0);
  EXPECT_NE(Cmp("ŁÓDŹ", "łódź", false), 0);
  EXPECT_TRUE(TMField::IsTheSameName("Źródło", " źRÓDło "));
}

TEST_F(FieldTest, NameRules) {
  TMFields& Fields = *DS.GetFields();
  EXPECT_TRUE(TMField::IsTheSameName("Abc", "  abc "));
  EXPECT_TRUE(TMField::IsTheSameName("Abc", "ABC"));
  EXPECT_FALSE(TMField::IsTheSameName("", ""));
  EXPECT_FALSE(TMField::IsTheSameName(" ", "a"));
  EXPECT_EQ(Fields.Find(" s "), F("S"));

  TMField* Field = Fields.Add();
  Field->SetName("  Kod_1 ");
  EXPECT_EQ(Field->GetFieldName(), "Kod_1");
  EXPECT_TRUE(Field->HasName("KOD_1"));
  EXPECT_EQ(test::CodeOf([&] { Field->SetName("1Kod"); }), 333);
  EXPECT_EQ(test::CodeOf([&] { Field->SetName("Kod-2"); }), 332);
  EXPECT_EQ(test::CodeOf([&] { Field->SetName("Cena brutto"); }), 332);
  EXPECT_EQ(test::CodeOf([&] { Field->SetName("Łączna"); }), 332);
  try {
    Field->SetName(" i ");
    FAIL() << "duplicate accepted";
  } catch (const EMDataError& E) {
    EXPECT_EQ(E.Code, 334);
    EXPECT_EQ(E.Text, " i ");
  }
  EXPECT_EQ(Field->GetFieldName(), "Kod_1");  // a refused name changes nothing
  Field->SetName("");
  Fields.Add()->SetName("  ");  // empty names never collide
  EXPECT_EQ(Fields.Find(""), nullptr);

  DS.Name = "MDataSet1";
  EXPECT_EQ(F("S")->GetNamePath(), "MDataSet1.Fields.S");
  EXPECT_EQ(Field->GetNamePath(), "MDataSet1.Fields[5]");
  EXPECT_EQ(Field->GetDisplayName(), "TMField");
}

TEST_F(FieldTest, NameAndTypeOfABoundFieldAreFixedWhileOpen) {
  DS.Open();
  EXPECT_EQ(test::CodeOf([&] { F("S")->SetName("T"); }), 342);
  EXPECT_EQ(test::CodeOf([&] { F("S")->SetType(mftInteger); }), 342);
  F("S")->SetName(" S ");  // the same name after trimming: no change, no check
  F("S")->SetType(mftString);
  DS.Close();
  F("S")->SetType(mftInteger);
  EXPECT_EQ(F("S")->GetDataType(), mftInteger);
  EXPECT_EQ(F("S")->DBType, mftInteger);
}

TEST_F(FieldTest, CollectionLookupErrors) {
  TMFields& Fields = *DS.GetFields();
  try {
    Fields.GetFields(5);
    FAIL();
  } catch (const EMDataError& E) {
    EXPECT_EQ(E.Code, 336);
    EXPECT_EQ(E.Text, "5");
  }
  EXPECT_EQ(test::CodeOf([&] { Fields.GetFields(-1); }), 336);
  EXPECT_EQ(test::CodeOf([&] { Fields.SetFields(9, F("S")); }), 336);
  EXPECT_EQ(test::CodeOf([&] { Fields.ByName("Brak"); }), 337);
  EXPECT_EQ(test::CodeOf([&] { Fields.ByDSIndex(0); }), 338);  // closed: nothing bound
  DS.Open();
  EXPECT_EQ(Fields.ByDSIndex(3), F("X"));
  EXPECT_EQ(test::CodeOf([&] { Fields.ByDSIndex(-1); }), 338);
  EXPECT_EQ(test::CodeOf([&] { Fields.ByDSIndex(5); }), 338);
}

TEST_F(FieldTest, BindingToResultColumnsKeepsDesignedFieldsOnly) {
  TMFields& Fields = *DS.GetFields();
  F("I")->SetEditLimit(9);
  // A first result: columns I (as float), Nowa, and one whose name is not valid.
  Fields.ResetDSIndexes();
  EXPECT_EQ(Fields.FindOrAddDBField("i", mftFloat, 0), F("I"));
  TMField* Nowa = Fields.FindOrAddDBField("Nowa", mftDateTime, 1);
  TMField* Bad = Fields.FindOrAddDBField("2 kolumna", mftString, 2);
  Fields.SetDSIndexes();
  EXPECT_EQ(F("I")->DBType, mftFloat);
  EXPECT_EQ(F("I")->GetDataType(), mftInteger);  // as designed
  EXPECT_EQ(F("I")->DBIndex, 0);
  EXPECT_FALSE(F("I")->AutoCreated);
  EXPECT_TRUE(Nowa->AutoCreated);
  EXPECT_EQ(Nowa->GetDataType(), mftDateTime);
  EXPECT_EQ(Nowa->DBType, mftDateTime);
  EXPECT_EQ(Bad->GetFieldName(), "");
  EXPECT_EQ(Fields.GetCount(), 7);
  for (int I = 0; I < Fields.GetCount(); ++I) EXPECT_EQ(Fields[I]->DSIndex, I);

  // The next reset drops the columns' fields and unbinds the designed ones.
  Fields.ResetDSIndexes();
  EXPECT_EQ(Fields.GetCount(), 5);
  EXPECT_EQ(F("I")->DBIndex, -1);
  EXPECT_EQ(F("I")->DSIndex, -1);
  EXPECT_EQ(F("I")->GetEditLimit(), 9);
  EXPECT_EQ(F("D")->GetIndex(), 4);
  Fields.SetDBIndex("d", 3);
  EXPECT_EQ(F("D")->DBIndex, 3);
  Fields.SetDBIndex("none", 3);
}

TEST_F(FieldTest, DeletingABoundFieldClosesTheDataSet) {
  DS.Open();
  DS.GetFields()->Delete(1);
  EXPECT_FALSE(DS.GetActive());
  EXPECT_EQ(DS.GetFieldCount(), 4);
  EXPECT_EQ(F("F")->GetIndex(), 1);
}

TEST_F(FieldTest, AssignCopiesTheDesignSettings) {
  TMFields Source(nullptr);
  TMField* S = Source.Add();
  S->SetName("Cena");
  S->SetType(mftFloat);
  S->Param = 3;
  S->SetEditLimit(-4);
  S->EditMask = "99";
  S->EditStyle = mesDrop;
  S->AllowEdit = false;
  S->SetDropDownRows(0);
  S->DropList() = {"a", "b"};
  S->Alignment = maCenter;
  S->OnGetText = [](TMField*, AnsiString& T, bool) { T = "x"; };
  S->DBIndex = 4;

  TMField* T = DS.GetFields()->Add();
  T->Assign(S);
  EXPECT_EQ(T->GetFieldName(), "Cena");
  EXPECT_EQ(T->GetDataType(), mftFloat);
  EXPECT_EQ(T->Param, 3);
  EXPECT_EQ(T->GetEditLimit(), 0);
  EXPECT_EQ(T->EditMask, "99");
  EXPECT_EQ(T->EditStyle, mesDrop);
  EXPECT_FALSE(T->AllowEdit);
  EXPECT_EQ(T->GetDropDownRows(), 1);
  EXPECT_EQ(T->DropList(), (std::vector<AnsiString>{"a", "b"}));
  EXPECT_EQ(T->Alignment, maLeftTop);
  EXPECT_FALSE(T->OnGetText);
  EXPECT_EQ(T->DBIndex, -1);

  // A name already used in the target collection is dropped, the rest still copied.
  S->SetName("s");
  TMField* U = DS.GetFields()->Add();
  U->Assign(S);
  EXPECT_EQ(U->GetFieldName(), "");
  EXPECT_EQ(U->Param, 3);

  EXPECT_THROW(U->Assign(&DS), Exception);
  EXPECT_THROW(U->Assign(nullptr), Exception);

  TMDataSet Copy;
  Copy.SetFields(DS.GetFields());
  EXPECT_EQ(Copy.GetFieldCount(), 7);
  EXPECT_EQ(Copy.GetFields()->GetFields(5)->GetFieldName(), "Cena");
}

TEST_F(FieldTest, EditingHooks) {
  test::OpenWithOneRecord(DS);
  TMField* I = F("I");
  I->SetAsInteger(5);
  EXPECT_EQ(I->GetEditText(), "5");
  std::vector<std::string> Calls;
  I->OnGetText = [&](TMField* Sender, AnsiString& Text, bool Display) {
    Text += (Display ? "d" : "e") + Sender->GetAsString();
  };
  I->OnSetText = [&](TMField*, const AnsiString& Text, int DropPos) {
    Calls.push_back(Text + "@" + std::to_string(DropPos));
  };
  EXPECT_EQ(I->GetEditText(), "e5");
  EXPECT_EQ(I->GetDisplayText(), "d5");
  I->SetEditText("6");
  I->SetFromDropList("7", 2);
  EXPECT_EQ(Calls, (std::vector<std::string>{"6@-1", "7@2"}));
  EXPECT_EQ(I->GetAsInteger(), 5);
  I->OnSetText = nullptr;
  I->SetFromDropList("8", 1);
  EXPECT_EQ(I->GetAsInteger(), 8);

  I->DropList() = {"x"};
  I->SetDropDownRows(3);
  I->OnPrepareDropList = [](TMField* Sender) { Sender->DropList().push_back("y"); };
  std::vector<AnsiString> Lines{"old"};
  int Rows = 0;
  I->GetDropList(Lines, Rows);
  EXPECT_EQ(Lines, (std::vector<AnsiString>{"x", "y"}));
  EXPECT_EQ(Rows, 3);

  F("D")->SetFromDateTimeEditor(45000.25);
  EXPECT_EQ(F("D")->GetAsDateTime(), 45000.25);

  TMacSetOfIntegers Bold(100);
  F("D")->OnGetBoldDays = [](TMField*, int, int Month, TMacSetOfIntegers* Days) { Days->Add(Month); };
  F("D")->GetBoldDays(2024, 3, &Bold);
  EXPECT_TRUE(Bold.Contains(3));
}

TEST_F(FieldTest, CheckBoxStyleWritesAndReadsTheState) {
  test::OpenWithOneRecord(DS);
  TMField* I = F("I");
  bool Checked = true, Enabled = false;
  I->GetCheckState(Checked, Enabled);
  EXPECT_FALSE(Checked);  // null
  EXPECT_TRUE(Enabled);

  bool Down = true;
  I->RiseBtnClickEvent(Down);  // not a check style: no write
  EXPECT_TRUE(I->GetIsNull());
  I->EditStyle = mesLeftCheck;
  int Clicks = 0;
  I->OnBtnClick = [&](TMField*, bool&) { ++Clicks; };
  I->RiseBtnClickEvent(Down);
  EXPECT_EQ(I->GetAsInteger(), 1);
  I->GetCheckState(Checked, Enabled);
  EXPECT_TRUE(Checked);
  Down = false;
  I->RiseBtnClickEvent(Down);
  EXPECT_EQ(I->GetAsInteger(), 0);
  EXPECT_EQ(Clicks, 2);

  // A value that cannot be read as an integer counts as unchecked.
  F("F")->SetAsFloat(1e20);
  F("F")->GetCheckState(Checked, Enabled);
  EXPECT_FALSE(Checked);
  F("F")->OnGetCheckState = [](TMField*, bool& C, bool& E) { C = true, E = false; };
  F("F")->GetCheckState(Checked, Enabled);
  EXPECT_TRUE(Checked);
  EXPECT_FALSE(Enabled);

  TMEditStyle Style;
  bool Allow;
  I->AllowEdit = false;
  I->RetrieveEditStyle(Style, Allow);
  EXPECT_EQ(Style, mesLeftCheck);
  EXPECT_FALSE(Allow);
  I->OnGetEditStyle = [](TMField*, TMEditStyle& S, bool& A) { S = mesStatic, A = true; };
  I->RetrieveEditStyle(Style, Allow);
  EXPECT_EQ(Style, mesStatic);
  EXPECT_TRUE(Allow);
}

}  // namespace
}  // namespace vandrel
