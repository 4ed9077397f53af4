// The data cache: layout, record states and changed flags, imported values, previous values
// and the whole-record operations, user data.
#include <gtest/gtest.h>

#include "data/DataCache.h"
#include "data/tests/DataTestSupport.h"

namespace vandrel {
namespace {

class DataCacheTest : public ::testing::Test {
 protected:
  // Fields S, I, F, X, D; the database delivers I as a float column.
  void SetUp() override {
    test::AddFiveFields(Design);
    Design.FieldByName("I")->DBType = mftFloat;
    Cache.Init(Design.GetFields());
  }
  platform::TRegionalSettingsGuard Regional{test::Settings(',')};
  TMDataSet Design;
  TMDataCache Cache;
};

TEST(DataCacheLayout, RecordBlocksHoldTwoCellArraysAndTheFlags) {
  TMDataSet Design;
  TMDataCache Cache;
  EXPECT_TRUE(Cache.GetIsEmpty());
  EXPECT_EQ(Cache.GetPosition(), -1);
  EXPECT_EQ(Cache.GetCount(), 0);
  Cache.SetPosition(3);
  EXPECT_EQ(test::CodeOf([&] { Cache.AppendRecord(-1); }), 341);
  Cache.Init(Design.GetFields());
  EXPECT_EQ(Cache.GetRecordSize(), 2 * sizeof(void*));  // state and user data only
  for (const char* Name : {"A", "B", "C"}) Design.GetFields()->Add()->SetName(Name);
  Cache.Reset();
  Cache.Init(Design.GetFields());
  EXPECT_EQ(Cache.GetRecordSize(), 2 * sizeof(void*) + 3 * (2 * sizeof(void*) + 1));
  Cache.Reset();
  EXPECT_EQ(Cache.GetRecordSize(), 0u);
  EXPECT_EQ(Cache.GetFieldCount(), 0);
}

TEST_F(DataCacheTest, NewRecordsMarkTheirFieldsChangedByTheirState) {
  EXPECT_EQ(Cache.GetDBType(1), mftFloat);
  EXPECT_EQ(Cache.GetFieldType(1), mftInteger);
  Cache.InsertRecord(-2);
  for (int I = 0; I < 5; ++I) {
    EXPECT_TRUE(Cache.IsChanged(I));
    EXPECT_TRUE(Cache.IsNull(I, false));
    EXPECT_TRUE(Cache.IsNull(I, true));
  }
  Cache.InsertRecord(5);  // before the current one
  EXPECT_EQ(Cache.GetPosition(), 0);
  EXPECT_EQ(Cache.GetRecordState(), 5);
  for (int I = 0; I < 5; ++I) EXPECT_FALSE(Cache.IsChanged(I));
  Cache.SetInteger(1, true, 3);
  EXPECT_FALSE(Cache.IsChanged(1));
  Cache.SetInteger(1, false, 3);
  EXPECT_TRUE(Cache.IsChanged(1));
  Cache.AppendRecord(7);
  EXPECT_EQ(Cache.GetPosition(), 2);
  EXPECT_EQ(Cache.GetCount(), 3);
  Cache.SetRecordState(-3);
  EXPECT_EQ(Cache.GetRecordState(), -3);
  Cache.SetPosition(0);
  EXPECT_EQ(Cache.GetRecordState(), 5);
  Cache.Exchange(2);
  EXPECT_EQ(Cache.GetPosition(), 2);
  EXPECT_EQ(Cache.GetRecordState(), 5);
  Cache.SetPosition(0);
  EXPECT_EQ(Cache.GetRecordState(), -3);
}

TEST_F(DataCacheTest, ImportedValuesAreConvertedLeniently) {
  Cache.AppendRecord(0);
  Cache.ImportString(2, false, "12.50");
  EXPECT_EQ(Cache.GetFloat(2, false), 12.5);
  Cache.ImportString(2, false, "abc");
  EXPECT_EQ(Cache.GetFloat(2, false), 0.0);
  Cache.ImportString(1, false, " 42 ");
  EXPECT_EQ(Cache.GetInteger(1, false), 42);
  Cache.ImportString(1, false, "4x");
  EXPECT_EQ(Cache.GetInteger(1, false), 0);
  Cache.ImportString(3, false, "-1,25");
  EXPECT_EQ(Cache.GetExtended(3, false), -1.25L);
  Cache.ImportString(4, false, "20240305140709000");
  EXPECT_NEAR(Cache.GetDateTime(4, false), 45356.588298611, 1e-8);
  Cache.ImportString(4, false, "nonsense");
  EXPECT_EQ(Cache.GetDateTime(4, false), 0.0);

  Cache.ImportFloat(0, false, 3.0);
  EXPECT_EQ(Cache.GetString(0, false), "3,0");  // one decimal remains
  Cache.ImportFloat(0, false, 0.1234567);
  EXPECT_EQ(Cache.GetString(0, false), "0,123457");
  Cache.ImportExtended(0, false, 2.5L);
  EXPECT_EQ(Cache.GetString(0, false), "2,5");
  Cache.ImportInteger(0, false, -7);
  EXPECT_EQ(Cache.GetString(0, false), "-7");
  Cache.ImportDateTime(0, false, 45356.5);
  EXPECT_EQ(Cache.GetString(0, false), "20240305120000000");

  Cache.ImportFloat(1, false, 2.5);
  EXPECT_EQ(Cache.GetInteger(1, false), 3);
  Cache.ImportExtended(1, false, -2.5L);
  EXPECT_EQ(Cache.GetInteger(1, false), -2);
  Cache.ImportDateTime(1, false, 45356.9);
  EXPECT_EQ(Cache.GetInteger(1, false), 45356);
  EXPECT_EQ(test::CodeOf([&] { Cache.ImportFloat(1, false, 1e12); }), 310);
  EXPECT_EQ(Cache.GetInteger(1, false), 45356);
  Cache.ImportInteger(4, false, 3);
  EXPECT_EQ(Cache.GetDateTime(4, false), 3.0);
  // Imports mark the current value changed, like any store.
  EXPECT_TRUE(Cache.IsChanged(4));
}

TEST_F(DataCacheTest, ATypedAccessOfAnotherTypeIsConvertedNotMisread) {
  Cache.AppendRecord(-1);
  Cache.SetFloat(1, false, 7.6);  // an integer field
  EXPECT_EQ(Cache.GetInteger(1, false), 8);
  EXPECT_EQ(Cache.GetFloat(1, false), 8.0);
  EXPECT_EQ(Cache.GetString(1, false), "8");
  Cache.SetString(0, false, "15");
  EXPECT_EQ(Cache.GetInteger(0, false), 15);
  EXPECT_EQ(test::CodeOf([&] { Cache.GetInteger(5, false); }), 336);
}

TEST_F(DataCacheTest, PreviousValuesAndWholeRecordOperations) {
  Cache.AppendRecord(-1);
  Cache.SetString(0, false, "abc");
  Cache.SetInteger(1, false, 5);
  Cache.SetExtended(3, false, 1.5L);
  Cache.SavePrevious();
  EXPECT_FALSE(Cache.DiffersFromPrevious());
  EXPECT_EQ(Cache.GetString(0, true), "abc");
  EXPECT_TRUE(Cache.IsNull(2, true));

  Cache.SetInteger(1, false, 6);
  EXPECT_TRUE(Cache.DiffersFromPrevious());
  Cache.SetInteger(1, false, 5);
  EXPECT_FALSE(Cache.DiffersFromPrevious());
  Cache.SetString(0, false, "ABC");
  EXPECT_TRUE(Cache.DiffersFromPrevious());  // strings compare exactly
  Cache.SetString(0, false, "abc");
  Cache.SetNull(3, false);
  EXPECT_TRUE(Cache.DiffersFromPrevious());  // one side null
  Cache.SetExtended(3, false, 1.5L);
  Cache.SetFloat(2, false, 0.0);
  EXPECT_TRUE(Cache.DiffersFromPrevious());
  Cache.SetNull(2, false);

  Cache.SetInteger(1, false, 9);
  Cache.SwapCurrentPrevious();
  EXPECT_EQ(Cache.GetInteger(1, false), 5);
  EXPECT_EQ(Cache.GetInteger(1, true), 9);
  Cache.ClearPrevious();
  for (int I = 0; I < 5; ++I) EXPECT_TRUE(Cache.IsNull(I, true));
  EXPECT_EQ(Cache.GetString(0, false), "abc");

  Cache.AppendRecord(3);
  Cache.ClearCurrent();
  for (int I = 0; I < 5; ++I) EXPECT_TRUE(Cache.IsChanged(I));
  // Empty cells read as the plain zero values (a null date-time is 1899-12-30 here).
  EXPECT_EQ(Cache.GetDateTime(4, false), 0.0);
  EXPECT_EQ(Cache.GetString(0, true), "");
}

TEST_F(DataCacheTest, TheFixedRecordTakesEveryAccess) {
  Cache.AppendRecord(-1);
  Cache.SetInteger(1, false, 1);
  Cache.SetRecordData(&Cache);
  void* First = Cache.GetCurrentRecord();
  Cache.AppendRecord(-1);
  Cache.SetInteger(1, false, 2);
  Cache.SetFixedRecord(First);
  EXPECT_EQ(Cache.GetInteger(1, false), 1);
  EXPECT_EQ(Cache.GetRecordData(), &Cache);
  EXPECT_NE(Cache.GetCurrentRecord(), First);
  Cache.SetFixedRecord(nullptr);
  EXPECT_EQ(Cache.GetInteger(1, false), 2);
  EXPECT_EQ(Cache.GetRecordData(), nullptr);
}

TEST_F(DataCacheTest, UserDataGoesToOnDeleteData) {
  std::vector<void*> Deleted;
  Cache.OnDeleteData = [&](TMDataCache* Sender, void* D) {
    EXPECT_EQ(Sender, &Cache);
    Deleted.push_back(D);
  };
  int Tags[3];
  for (int& T : Tags) {
    Cache.AppendRecord(-1);
    Cache.SetRecordData(&T);
    Cache.SetString(0, false, "a value long enough to leave the small-string buffer");
  }
  Cache.AppendRecord(-1);  // no user data
  Cache.SetPosition(1);
  Cache.DeleteRecord();
  EXPECT_EQ(Deleted, (std::vector<void*>{&Tags[1]}));
  EXPECT_EQ(Cache.GetPosition(), 1);
  EXPECT_EQ(Cache.GetRecordData(), &Tags[2]);
  Cache.Reset();
  EXPECT_EQ(Deleted, (std::vector<void*>{&Tags[1], &Tags[2], &Tags[0]}));
  EXPECT_TRUE(Cache.GetIsEmpty());
}

TEST_F(DataCacheTest, ValueAccessWithoutARecordIsRefused) {
  EXPECT_EQ(test::CodeOf([&] { Cache.GetInteger(0, false); }), 343);
  EXPECT_EQ(test::CodeOf([&] { Cache.SavePrevious(); }), 343);
  EXPECT_EQ(Cache.GetRecordState(), 0);
  EXPECT_EQ(Cache.GetRecordData(), nullptr);
  Cache.DeleteRecord();
}

}  // namespace
}  // namespace vandrel
