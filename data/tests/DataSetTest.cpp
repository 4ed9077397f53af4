// The in-memory dataset: its storage rules, user data and external index, a model-based
// run of random operations against a plain reference, and sorting against std::sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "data/tests/DataTestSupport.h"

namespace vandrel {
namespace {

TEST(DataSet, AppendAndInsertCreateEmptyRecords) {
  TMDataSet DS;
  test::AddFiveFields(DS);
  test::OpenWithOneRecord(DS);
  EXPECT_EQ(DS.GetCount(), 1);
  EXPECT_EQ(DS.GetPosition(), 0);
  for (int I = 0; I < DS.GetFieldCount(); ++I) EXPECT_TRUE(DS.GetFields()->GetFields(I)->GetIsNull());
  // X 16, S 16, F 8, D 8, the user data 8, I 4 and the null flags 1, to a multiple of 16.
  EXPECT_EQ(DS.GetRecordSize(), 64u);

  DS.FieldByName("I")->SetAsInteger(42);
  EXPECT_EQ(DS.FieldByName("I")->GetAsString(), "42");
  DS.Append();
  DS.FieldByName("I")->SetAsInteger(43);
  DS.First();
  DS.Insert();
  EXPECT_EQ(DS.GetPosition(), 0);
  EXPECT_TRUE(DS.FieldByName("I")->GetIsNull());
  DS.Next();
  EXPECT_EQ(DS.FieldByName("I")->GetAsInteger(), 42);
}

// Texts up to 15 bytes stay in the record, longer ones in a block of their own: every length
// reads back, a value changes between the two forms and to null and back, and a record freed
// and made again starts null.
TEST(DataSet, TextsOfEveryLengthAndValuesOfOtherTypesReadBack) {
  TMDataSet DS;
  test::AddFiveFields(DS);
  test::OpenWithOneRecord(DS);
  TMField* S = DS.FieldByName("S");
  for (std::size_t Length : {0u, 1u, 15u, 16u, 300u, 7u, 40u, 15u}) {
    const std::string Text(Length, static_cast<char>('a' + Length % 26));
    S->SetAsString(Text);
    EXPECT_FALSE(S->GetIsNull());
    EXPECT_EQ(S->GetAsString(), Text) << Length;
  }
  // A short text over a longer one reads no byte of the old one; a zero byte is a character.
  for (const std::string& Text : {std::string("abcdefghijklmno"), std::string("xy"), std::string("a\0b", 3)}) {
    S->SetAsString(Text);
    EXPECT_EQ(S->GetAsString(), Text);
  }
  S->SetAsString(std::string(100, 'z'));
  S->SetNull();
  EXPECT_TRUE(S->GetIsNull());
  EXPECT_EQ(S->GetAsString(), "");
  // Values given in another type follow the import rules, in both directions.
  S->SetAsInteger(12);
  EXPECT_EQ(S->GetAsString(), "12");
  DS.FieldByName("X")->SetAsString("2.5");
  EXPECT_EQ(DS.FieldByName("X")->GetAsExtended(), 2.5L);
  DS.FieldByName("D")->SetAsFloat(45356.5);
  EXPECT_DOUBLE_EQ(DS.FieldByName("D")->GetAsDateTime(), 45356.5);
  EXPECT_EQ(test::CodeOf([&] { DS.FieldByName("I")->SetAsFloat(1e12); }), 310);
  EXPECT_TRUE(DS.FieldByName("I")->GetIsNull());  // a refused value leaves the old one
  DS.FieldByName("F")->SetAsFloat(-1.5);
  DS.FieldByName("F")->SetNull();
  S->SetAsString("short");
  S->SetNull();
  EXPECT_EQ(DS.FieldByName("F")->GetAsFloat(), 0.0);
  EXPECT_EQ(S->GetAsString(), "");
  DS.Delete();
  DS.Append();  // takes the block just freed
  for (int I = 0; I < DS.GetFieldCount(); ++I) EXPECT_TRUE(DS.GetFields()->GetFields(I)->GetIsNull()) << I;
  EXPECT_EQ(DS.FieldByName("X")->GetAsExtended(), 0.0L);
  EXPECT_EQ(S->GetAsString(), "");
  // Many records across pages, long and short texts mixed, read back after deletions.
  for (int R = 0; R < 1000; ++R) {
    DS.Append();
    S->SetAsString(std::string(static_cast<std::size_t>(R % 40), 'k') + std::to_string(R));
    DS.FieldByName("I")->SetAsInteger(R);
  }
  for (int R = 0; R < 300; ++R) {
    DS.SetPosition(R + 1);
    DS.Delete();
  }
  for (DS.First(), DS.Next(); !DS.GetEof(); DS.Next()) {
    const int R = DS.FieldByName("I")->GetAsInteger();
    EXPECT_EQ(S->GetAsString(), std::string(static_cast<std::size_t>(R % 40), 'k') + std::to_string(R));
  }
  DS.Close();
}

// Seventeen fields put their null flags in three bytes: each value and flag stays its own.
TEST(DataSet, ValuesAndNullsOfManyFieldsStayApart) {
  TMDataSet DS;
  const TMFieldType Types[] = {mftInteger, mftString, mftFloat, mftExtended, mftDateTime, mftInteger};
  constexpr int Count = 17;
  for (int I = 0; I < Count; ++I) {
    TMField* Field = DS.GetFields()->Add();
    Field->SetName("F" + std::to_string(I));
    Field->SetType(Types[I % 6]);
  }
  test::OpenWithOneRecord(DS);
  for (int I = 0; I < Count; I += 2) DS.GetFields()->GetFields(I)->SetAsInteger(I * 3);
  DS.GetFields()->GetFields(8)->SetNull();
  for (int I = 0; I < Count; ++I) {
    TMField* Field = DS.GetFields()->GetFields(I);
    const bool Set = I % 2 == 0 && I != 8;
    EXPECT_EQ(Field->GetIsNull(), !Set) << I;
    EXPECT_EQ(Field->GetAsInteger(), Set ? I * 3 : 0) << I;
  }
}

// Fields reach the record in place only while the dataset is open: a read-only dataset refuses
// a change there, a dataset with an interface tells it, a handler of the closing notification
// that reads or writes a field gets "not active" (341), and a reopened dataset's fields read
// its new record.
TEST(DataSet, FieldsUseTheRecordInPlaceOnlyWhileOpenAndWritable) {
  TMDataSet DS;
  test::AddFiveFields(DS);
  test::OpenWithOneRecord(DS);
  TMField* I = DS.FieldByName("I");
  TMField* S = DS.FieldByName("S");
  I->SetAsInteger(7);
  S->SetAsString("Kiełbasa śląska, 1 kg");

  DS.SetReadOnly(true);
  EXPECT_THROW(I->SetAsInteger(8), EMDataError);
  EXPECT_THROW(S->SetAsString("Śledź"), EMDataError);
  I->SetAsInteger(7);  // an equal value is no change
  DS.SetReadOnly(false);
  EXPECT_EQ(I->GetAsInteger(), 7);
  EXPECT_EQ(S->GetAsString(), "Kiełbasa śląska, 1 kg");

  test::TNotificationLog Log(&DS);
  I->SetAsInteger(11);  // with an interface attached a change is told
  S->SetAsString("Śledź");
  EXPECT_EQ(Log.Entries, (decltype(Log.Entries){{diaFieldChanged, I->GetIndex()}, {diaFieldChanged, S->GetIndex()}}));
  std::vector<int> Codes;
  Log.Interface().OnNotify = [&](TMDataInterface*, TMDataInterfaceAction Action, int) {
    if (Action != diaClosed) return;
    for (auto Use : {+[](TMField* F) { F->GetAsInteger(); }, +[](TMField* F) { F->SetAsInteger(9); }}) {
      try {
        Use(I);
        Codes.push_back(0);
      } catch (const EMDataError& E) {
        Codes.push_back(E.Code);
      }
    }
  };
  DS.Close();
  EXPECT_EQ(Codes, (std::vector<int>{341, 341}));

  test::OpenWithOneRecord(DS);
  EXPECT_TRUE(I->GetIsNull());
  EXPECT_EQ(I->GetAsInteger(), 0);
  EXPECT_EQ(S->GetAsString(), "");
}

TEST(DataSet, UserDataGoesToOnDeleteDataLastRecordFirst) {
  TMDataSet DS;
  test::AddFiveFields(DS);
  std::vector<void*> Deleted;
  DS.OnDeleteData = [&](TMCustomDataSet* Sender, void* D) {
    EXPECT_EQ(Sender, &DS);
    Deleted.push_back(D);
  };
  int Tags[4];
  DS.Open();
  EXPECT_EQ(DS.GetData(), nullptr);
  DS.SetData(&Tags[0]);  // empty: ignored
  EXPECT_EQ(DS.AppendData(&Tags[0]), &Tags[0]);
  DS.Append();  // no user data
  EXPECT_EQ(DS.AppendData(&Tags[1]), &Tags[1]);
  DS.First();
  EXPECT_EQ(DS.InsertData(&Tags[2]), &Tags[2]);
  DS.SetData(&Tags[3]);  // replaced pointers are not handed over
  DS.SetPosition(1);
  EXPECT_EQ(DS.GetData(), &Tags[0]);
  DS.Delete();
  EXPECT_EQ(Deleted, (std::vector<void*>{&Tags[0]}));
  DS.Close();
  EXPECT_EQ(Deleted, (std::vector<void*>{&Tags[0], &Tags[1], &Tags[3]}));
}

TEST(DataSet, AFailingOnDeleteDataStillFreesEveryRecord) {
  TMDataSet DS;
  test::AddFiveFields(DS);
  int Calls = 0;
  DS.OnDeleteData = [&](TMCustomDataSet*, void*) {
    ++Calls;
    throw std::runtime_error("handler");
  };
  DS.Open();
  int Tag;
  DS.AppendData(&Tag);
  DS.FieldByName("S")->SetAsString("value");
  DS.AppendData(&Tag);
  EXPECT_THROW(DS.Close(), std::runtime_error);
  EXPECT_EQ(Calls, 2);
  EXPECT_FALSE(DS.GetActive());
  DS.Open();
  EXPECT_EQ(DS.GetCount(), 0);
}

TEST(DataSet, AnExternalIndexRedirectsValueAccess) {
  TMDataSet DS;
  test::AddFiveFields(DS);
  EXPECT_EQ(DS.GetExternalIndexData(), nullptr);
  EXPECT_EQ(DS.UseExternalIndex(&DS), nullptr);  // closed: no change
  DS.Open();
  EXPECT_EQ(DS.GetExternalIndexData(), nullptr);
  DS.Append();
  DS.FieldByName("S")->SetAsString("first");
  void* First = DS.GetExternalIndexData();
  DS.Append();
  DS.FieldByName("S")->SetAsString("second");
  EXPECT_EQ(DS.UseExternalIndex(First), nullptr);
  EXPECT_EQ(DS.FieldByName("S")->GetAsString(), "first");
  DS.FieldByName("S")->SetAsString("changed");
  EXPECT_NE(DS.GetExternalIndexData(), First);  // the current record, not the fixed one
  DS.First();
  DS.Next();  // steps still move, while the values stay with the fixed record
  EXPECT_EQ(DS.GetPosition(), 1);
  EXPECT_EQ(DS.FieldByName("S")->GetAsString(), "changed");
  DS.Next();
  EXPECT_TRUE(DS.GetEof());
  EXPECT_EQ(DS.UseExternalIndex(nullptr), First);
  EXPECT_EQ(DS.FieldByName("S")->GetAsString(), "second");
  DS.First();
  EXPECT_EQ(DS.FieldByName("S")->GetAsString(), "changed");
}

TEST(DataSet, StorageOperationsConvertAValueOfAnotherType) {
  // The storage keeps each value in its field's type, even when a caller asks for another.
  TMDataSet DS;
  test::AddFiveFields(DS);
  test::OpenWithOneRecord(DS);
  DS.SetCurrentFloatFieldValue(1, -1, 2.5);  // field I
  EXPECT_EQ(DS.GetCurrentIntegerFieldValue(1, -1), 3);
  EXPECT_EQ(DS.GetCurrentStringFieldValue(1, -1), "3");
  DS.SetCurrentIntegerFieldValue(0, -1, 12);  // field S
  EXPECT_EQ(DS.GetCurrentStringFieldValue(0, -1), "12");
  EXPECT_EQ(DS.GetCurrentFloatFieldValue(0, -1), 12.0);
  EXPECT_TRUE(DS.IsCurrentFieldNull(7, -1));  // no such field
  DS.SetCurrentIntegerFieldValue(7, -1, 1);
}

// --- Model-based run ---

// The reference: records as a vector of (key, tag) with nulls, and the expected cursor.
struct TModel {
  struct Row {
    bool Null = true;
    int Key = 0;
  };
  std::vector<Row> Rows;
  int Pos = -1;
  bool Eof = true, Bof = true;
  std::set<int> Marks;

  int Count() const { return static_cast<int>(Rows.size()); }
  void Reposition(int P) {
    if (Rows.empty()) {
      Pos = -1;
      return;
    }
    Pos = std::clamp(P, 0, Count() - 1);
  }
  void ShiftMarks(int From, int By) {
    std::set<int> Moved;
    for (int M : Marks) Moved.insert(M >= From ? M + By : M);
    Marks = Moved;
  }
};

TEST(DataSet, RandomOperationsAgreeWithAPlainModel) {
  std::mt19937 Random(20240305);
  for (int Run = 0; Run < 20; ++Run) {
    TMDataSet DS;
    test::FillKeys(DS, {});
    TModel M;
    int NextKey = 0;
    for (int Step = 0; Step < 600; ++Step) {
      const int Op = static_cast<int>(Random() % 12);
      const int Any = static_cast<int>(Random() % 40) - 10;
      std::string What;
      switch (Op) {
        case 0:  // Insert, then write a key
        case 1: {
          What = "Insert";
          DS.Insert();
          const int At = M.Pos < 0 ? 0 : M.Pos;
          M.Rows.insert(M.Rows.begin() + At, TModel::Row{});
          M.Pos = At;
          M.ShiftMarks(At, 1);
          if (Random() % 2) {
            DS.FieldByName("K")->SetAsInteger(NextKey);
            M.Rows[At] = {false, NextKey++};
          }
          break;
        }
        case 2: {
          What = "Append";
          DS.Append();
          M.Rows.push_back({false, NextKey});
          M.Pos = M.Count() - 1;
          DS.FieldByName("K")->SetAsInteger(NextKey++);
          break;
        }
        case 3: {
          What = "Delete";
          if (M.Rows.empty()) {
            EXPECT_EQ(test::CodeOf([&] { DS.Delete(); }), 343);
            break;
          }
          DS.Delete();
          const int At = M.Pos;
          M.Marks.erase(At);
          M.Rows.erase(M.Rows.begin() + At);
          M.Reposition(At);
          if (M.Rows.empty()) M.Eof = M.Bof = true;
          M.ShiftMarks(At + 1, -1);
          break;
        }
        case 4: {
          What = "Exchange " + std::to_string(Any);
          if (M.Rows.empty()) break;
          DS.Exchange(Any);
          const int Target = std::clamp(Any, 0, M.Count() - 1);
          if (Target != M.Pos) {
            std::swap(M.Rows[static_cast<std::size_t>(Target)], M.Rows[static_cast<std::size_t>(M.Pos)]);
            const bool A = M.Marks.count(M.Pos) > 0, B = M.Marks.count(Target) > 0;
            M.Marks.erase(M.Pos);
            M.Marks.erase(Target);
            if (A) M.Marks.insert(Target);
            if (B) M.Marks.insert(M.Pos);
            M.Pos = Target;
          }
          break;
        }
        case 5:
          What = "SetPosition " + std::to_string(Any);
          DS.SetPosition(Any);
          if (!M.Rows.empty()) M.Reposition(Any);
          break;
        case 6:
          What = "First";
          DS.First();
          M.Reposition(0);
          M.Eof = M.Bof = M.Pos != 0;
          break;
        case 7:
          What = "Next";
          DS.Next();
          if (!M.Eof) {
            const int Target = M.Pos + 1;
            M.Reposition(Target);
            if (M.Pos != Target) M.Eof = true;
          }
          break;
        case 8:
          What = "Prior";
          DS.Prior();
          if (!M.Bof) {
            const int Target = M.Pos - 1;
            M.Reposition(Target);
            if (M.Pos != Target) M.Bof = true;
          }
          break;
        case 9: {
          What = "Last";
          DS.Last();
          const int Target = M.Count() - 1;
          M.Reposition(Target);
          M.Eof = M.Bof = Target < 0 || M.Pos != Target;
          break;
        }
        case 10: {
          What = "MoveBy " + std::to_string(Any / 4);
          DS.MoveBy(Any / 4);
          if (!M.Eof && !M.Bof && Any / 4 != 0) {
            const int Target = M.Pos + Any / 4;
            M.Reposition(Target);
            M.Eof = M.Pos < Target;
            M.Bof = M.Pos > Target;
          }
          break;
        }
        case 11: {
          What = "Bookmark";
          if (M.Rows.empty()) break;
          const bool Set = Random() % 3 != 0;
          DS.SetBookmark(Set);
          if (Set) {
            M.Marks.insert(M.Pos);
          } else {
            M.Marks.erase(M.Pos);
          }
          break;
        }
      }
      SCOPED_TRACE("run " + std::to_string(Run) + " step " + std::to_string(Step) + " " + What);
      ASSERT_EQ(DS.GetCount(), M.Count());
      ASSERT_EQ(DS.GetPosition(), M.Pos);
      ASSERT_EQ(DS.GetEof(), M.Eof);
      ASSERT_EQ(DS.GetBof(), M.Bof);
      std::vector<int> Marks;
      for (int I = 0; I < DS.GetBookmarkCount(); ++I) Marks.push_back(DS.GetBookmarkPositions(I));
      ASSERT_EQ(Marks, std::vector<int>(M.Marks.begin(), M.Marks.end()));
      if (M.Pos >= 0) {
        const TModel::Row& Row = M.Rows[static_cast<std::size_t>(M.Pos)];
        ASSERT_EQ(DS.FieldByName("K")->GetIsNull(), Row.Null);
        if (!Row.Null) {
          ASSERT_EQ(DS.FieldByName("K")->GetAsInteger(), Row.Key);
        }
      }
      if (Step % 100 == 99) {
        // Every record, walked through the bookmarks-free path of SetPosition.
        const int Saved = DS.GetPosition();
        for (int P = 0; P < M.Count(); ++P) {
          DS.SetPosition(P);
          const TModel::Row& Row = M.Rows[static_cast<std::size_t>(P)];
          ASSERT_EQ(DS.FieldByName("K")->GetIsNull(), Row.Null) << P;
          if (!Row.Null) {
            ASSERT_EQ(DS.FieldByName("K")->GetAsInteger(), Row.Key) << P;
          }
        }
        DS.SetPosition(Saved);
      }
    }
  }
}

TEST(DataSet, QuickSortOrdersRandomKeysAsStdSortDoes) {
  std::mt19937 Random(7);
  for (int Size : {1, 2, 3, 10, 257, 2000}) {
    for (int Range : {3, 1000000}) {
      TMDataSet DS;
      DS.GetFields()->Add()->SetName("K");
      DS.FieldByName("K")->SetType(mftInteger);
      DS.GetFields()->Add()->SetName("Tag");
      DS.FieldByName("Tag")->SetType(mftInteger);
      DS.Open();
      std::vector<std::pair<int, int>> Expected;
      for (int I = 0; I < Size; ++I) {
        const int K = static_cast<int>(Random() % static_cast<unsigned>(Range));
        DS.Append();
        DS.FieldByName("K")->SetAsInteger(K);
        DS.FieldByName("Tag")->SetAsInteger(I);
        Expected.emplace_back(K, I);
      }
      int Key = 0;
      DS.OnCacheCurrentValue = [&](TMCustomDataSet* S) { Key = S->FieldByName("K")->GetAsInteger(); };
      DS.OnCompareCurrentValue = [&](TMCustomDataSet* S, TMDSCompareResult& R) {
        const int K = S->FieldByName("K")->GetAsInteger();
        R = K < Key ? dscLess : (K > Key ? dscGreater : dscEqual);
      };
      DS.QuickSort();
      EXPECT_EQ(DS.GetPosition(), 0);
      std::vector<std::pair<int, int>> Got;
      for (DS.First(); !DS.GetEof(); DS.Next())
        Got.emplace_back(DS.FieldByName("K")->GetAsInteger(), DS.FieldByName("Tag")->GetAsInteger());
      std::vector<int> GotKeys, ExpectedKeys;
      for (auto& [K, T] : Got) GotKeys.push_back(K);
      std::sort(Expected.begin(), Expected.end());
      for (auto& [K, T] : Expected) ExpectedKeys.push_back(K);
      EXPECT_EQ(GotKeys, ExpectedKeys) << Size << " " << Range;
      std::sort(Got.begin(), Got.end());  // every record is still there, with its own values
      EXPECT_EQ(Got, Expected);
    }
  }
}

// The sort as a plain recursion over a vector, logging what the dataset's events would see:
// "c<p>" caching the key at p, "k<p>" comparing the record at p, "%<n>" progress.
void ReferenceSort(std::vector<int>& Keys, int L, int R, std::vector<std::string>& Log) {
  int I = L, J = R, P = (L + R) / 2;
  auto Less = [&](int K) { Log.push_back("k" + std::to_string(K)); return Keys[K] < Keys[P]; };
  auto Greater = [&](int K) { Log.push_back("k" + std::to_string(K)); return Keys[K] > Keys[P]; };
  do {
    Log.push_back("c" + std::to_string(P));
    while (I != P && Less(I)) ++I;
    while (J != P && Greater(J)) --J;
    if (I <= J) {
      if (P == I) {
        P = J;
      } else if (P == J) {
        P = I;
      }
      if (I != J) std::swap(Keys[I], Keys[J]);
      ++I;
      --J;
    }
  } while (I <= J);
  if (L < J) ReferenceSort(Keys, L, J, Log);
  if (I < R) ReferenceSort(Keys, I, R, Log);
  Log.push_back("%" + std::to_string(R * 100 / static_cast<int>(Keys.size())));
}

TEST(DataSet, QuickSortComparesTheRecordsInTheDescribedOrder) {
  std::mt19937 Random(11);
  for (int Size : {2, 5, 40}) {
    std::vector<int> Keys;
    for (int I = 0; I < Size; ++I) Keys.push_back(static_cast<int>(Random() % 10));
    TMDataSet DS;
    test::FillKeys(DS, Keys);
    std::vector<std::string> Seen, Expected;
    int Pivot = 0;
    DS.OnCacheCurrentValue = [&](TMCustomDataSet* S) {
      Seen.push_back("c" + std::to_string(S->GetPosition()));
      Pivot = S->FieldByName("K")->GetAsInteger();
    };
    DS.OnCompareCurrentValue = [&](TMCustomDataSet* S, TMDSCompareResult& R) {
      Seen.push_back("k" + std::to_string(S->GetPosition()));
      const int K = S->FieldByName("K")->GetAsInteger();
      R = K < Pivot ? dscLess : (K > Pivot ? dscGreater : dscEqual);
    };
    DS.OnProgress = [&](TMCustomDataSet*, int P) { Seen.push_back("%" + std::to_string(P)); };
    DS.QuickSort();
    ReferenceSort(Keys, 0, Size - 1, Expected);
    EXPECT_EQ(Seen, Expected) << Size;
  }
}

}  // namespace
}  // namespace vandrel
