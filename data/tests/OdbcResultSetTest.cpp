// The result set and its rowset cache through the query component, against the SQLite
// ODBC driver (and the scriptable driver for the answers SQLite never gives).
#include <gtest/gtest.h>

#include "OdbcTestEnv.h"
#include "data/DataError.h"
#include "data/OdbcError.h"
#include "data/OdbcResultSet.h"
#include "data/Query.h"
#include "foundation/Utf8.h"
#include "platform/base/RegionalSettings.h"

namespace vandrel {
namespace {

using test::Contexts;

class OdbcResultSet : public test::OdbcTest {
 protected:
  void SetUp() override {
    test::OdbcTest::SetUp();
    link = Connect();
  }
  void Fill(int Rows) {
    Exec(*link, {"create table n(v integer)"});
    link->StartTransaction();
    for (int i = 0; i < Rows; ++i) link->ExecSQL("insert into n values(" + std::to_string(i) + ")", nullptr);
    link->Commit();
  }
  TMOdbcResultSet* Rs(TKMQuery& q) { return static_cast<TMOdbcResultSet*>(q.GetResultSet()); }
  void OpenQuery(TKMQuery& q, const std::string& Sql) {
    q.SetLink(link.get());
    q.GetSQL().SetText(Sql);
    q.Open();
  }
  std::unique_ptr<TMOdbcLink> link;
};

TEST_F(OdbcResultSet, FortyFiveRowsComeInThreeRowsetsAndCloseTheStatement) {
  Fill(45);
  TKMQuery q;
  OpenQuery(q, "select v from n order by v");
  EXPECT_EQ(Rs(q)->GetBlockCount(), 1);
  EXPECT_NE(Rs(q)->GetStatement(), nullptr);
  EXPECT_FALSE(q.GetCountKnown());
  int expected = 0;
  while (!q.GetEof()) {
    EXPECT_EQ(q.FieldByName("v")->GetAsInteger(), expected++);
    q.Next();
  }
  EXPECT_EQ(expected, 45);
  EXPECT_EQ(Rs(q)->GetBlockCount(), 3);
  EXPECT_EQ(Rs(q)->GetStatement(), nullptr);
  EXPECT_EQ(q.GetCount(), 45);
  q.SetPosition(3);  // backwards from the kept rowsets, no server
  EXPECT_EQ(q.FieldByName("v")->GetAsInteger(), 3);
  q.SetPosition(1000);
  EXPECT_EQ(q.GetPosition(), 44);
}

TEST_F(OdbcResultSet, ExactlyTwentyRowsNeedASecondFetch) {
  Fill(20);
  TKMQuery q;
  OpenQuery(q, "select v from n");
  EXPECT_FALSE(Rs(q)->GetCountKnown());
  std::vector<test::QueryCall> calls;
  test::RecordQueries(*link, calls);
  EXPECT_EQ(q.GetCount(), 20);
  EXPECT_TRUE(Rs(q)->GetCountKnown());
  EXPECT_EQ(Rs(q)->GetStatement(), nullptr);
  EXPECT_EQ(Contexts(calls), (std::vector<TMQueryContext>{mqcPositionBefore, mqcPositionAfter, mqcPositionBefore,
                                                          mqcPositionAfter}));
  EXPECT_EQ(calls[0].Text, "select v from n\r\n");
}

// A step inside the fetched rowset is the result set's own, but a listener to OnQuery still
// hears every move, and steps back and across rowsets read the right rows.
TEST_F(OdbcResultSet, StepsReadTheirRowsAndAreReportedWhileSomeoneListens) {
  Fill(45);
  TKMQuery q;
  OpenQuery(q, "select v from n order by v");
  for (int k = 0; k < 21; ++k) q.Next();
  q.Prior();
  q.Prior();
  EXPECT_EQ(q.GetPosition(), 19);
  EXPECT_EQ(q.FieldByName("v")->GetAsInteger(), 19);
  std::vector<test::QueryCall> calls;
  test::RecordQueries(*link, calls);
  q.Next();
  q.Next();
  EXPECT_EQ(q.FieldByName("v")->GetAsInteger(), 21);
  EXPECT_EQ(Contexts(calls), (std::vector<TMQueryContext>{mqcPositionBefore, mqcPositionAfter, mqcPositionBefore,
                                                          mqcPositionAfter}));
}

TEST_F(OdbcResultSet, StatementWithoutColumnsIsAnEmptyCompleteResult) {
  Fill(2);
  TKMQuery q;
  OpenQuery(q, "update n set v = v + 1");
  EXPECT_TRUE(q.GetIsEmpty());
  EXPECT_EQ(q.GetFieldCount(), 0);
  EXPECT_EQ(Rs(q)->GetStatement(), nullptr);
  EXPECT_EQ(q.GetCount(), 0);
  EXPECT_EQ(q.GetPosition(), -1);
}

TEST_F(OdbcResultSet, ForwardOnlyKeepsOneRowsetAndRefusesToReadBack) {
  Fill(45);
  TKMQuery q;
  q.SetForwardOnly(true);
  OpenQuery(q, "select v from n order by v");
  q.SetPosition(30);
  EXPECT_EQ(q.FieldByName("v")->GetAsInteger(), 30);
  EXPECT_EQ(Rs(q)->GetCachedBlockCount(), 0);
  q.SetPosition(3);
  try {
    q.FieldByName("v")->GetAsInteger();
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 426);
  }
  EXPECT_EQ(q.GetExternalIndexData(), nullptr);
}

TEST_F(OdbcResultSet, NullsInEveryTypeAndValuesOfEachType) {
  Exec(*link, {"create table t(i integer, s varchar(10), d double, ts timestamp, dt date, tm time, b bigint)",
               "insert into t values(null, null, null, null, null, null, null)",
               "insert into t values(-7, 'zażółć', 2.5, '2024-03-05 14:07:09.045', '2024-03-05', '14:07:09', 5000000000)"});
  TKMQuery q;
  OpenQuery(q, "select * from t");
  TMFields& f = *q.GetFields();
  test::ExpectTypedColumns(f);
  for (int i = 0; i < f.GetCount(); ++i) EXPECT_TRUE(f.GetFields(i)->GetIsNull()) << i;
  q.Next();
  test::ExpectTypedValues(f);
}

// Without a cache a query's fields read straight from the result set; values, nulls, the
// OEM conversion of texts and the refusal of an empty result are those of the cached way.
TEST_F(OdbcResultSet, FieldsReadAlikeStraightFromTheResultAndThroughTheCache) {
  Exec(*link, {"create table t(i integer, s varchar(10), d double, ts timestamp, dt date, tm time, b bigint)",
               "insert into t values(null, null, null, null, null, null, null)",
               "insert into t values(-7, 'zażółć', 2.5, '2024-03-05 14:07:09.045', '2024-03-05', '14:07:09', 5000000000)"});
  for (int mode = 0; mode < 6; ++mode) {
    SCOPED_TRACE(mode);
    const bool oem = mode >= 3;
    link->SetOEMConversion(oem);
    TKMQuery q;
    q.SetForwardOnly(mode % 3 == 1);
    q.SetCachedUpdates(mode % 3 == 2);
    OpenQuery(q, "select * from t");
    TMFields& f = *q.GetFields();
    for (int i = 0; i < f.GetCount(); ++i) EXPECT_TRUE(f.GetFields(i)->GetIsNull()) << i;
    EXPECT_EQ(f.ByName("i")->GetAsInteger(), 0);
    EXPECT_EQ(f.ByName("i")->GetAsString(), "");
    EXPECT_EQ(f.ByName("s")->GetAsString(), "");
    EXPECT_EQ(f.ByName("d")->GetAsFloat(), 0.0);
    EXPECT_EQ(f.ByName("ts")->GetAsDateTime(), 25569.0);  // a null date-time reads as 1970-01-01
    q.Next();
    EXPECT_EQ(f.ByName("i")->GetAsString(), "-7");
    if (oem)
      EXPECT_EQ(f.ByName("s")->GetAsString(), link->TextReceived("zażółć"));
    else
      test::ExpectTypedValues(f);
  }
  link->SetOEMConversion(false);
  TKMQuery e;
  OpenQuery(e, "select * from t where 1 = 0");
  try {
    e.FieldByName("i")->GetAsInteger();
    ADD_FAILURE() << "an empty result was read";
  } catch (const EMDataError& Error) {
    EXPECT_EQ(Error.Code, dterr::Empty);
  }
}

// Numbers show as their column holds them: a float column (SQLite describes its numeric
// columns as double) as the shortest text that reads back to the same number, a decimal
// column with its scale; digits asked for explicitly still come as asked.
TEST_F(OdbcResultSet, NumbersReadAsTheirColumnHoldsThem) {
  Exec(*link, {"create table t(n numeric(12,2), d double, r real)",
               "insert into t values(12345678.91, 0.1, 0.1)",
               "insert into t values(-0.05, 1e20, 100)"});
  for (bool cached : {false, true}) {
    TKMQuery q;
    q.SetCachedUpdates(cached);
    OpenQuery(q, "select * from t");
    TMFields& f = *q.GetFields();
    EXPECT_EQ(f.ByName("n")->GetAsString(), "12345678.91") << cached;
    EXPECT_EQ(f.ByName("d")->GetAsString(), "0.1");
    EXPECT_EQ(f.ByName("r")->GetAsString(), "0.1");
    EXPECT_EQ(f.ByName("n")->ToFloatSQL(4, 4), "12345678.9100");
    q.Next();
    EXPECT_EQ(f.ByName("n")->GetAsString(), "-0.05");
    EXPECT_EQ(f.ByName("d")->GetAsString(), "100000000000000000000");
    EXPECT_EQ(f.ByName("r")->GetAsString(), "100");
  }
  // The user's decimal separator applies to the shown text.
  platform::TRegionalSettingsGuard polish(platform::TRegionalSettings::Polish());
  TKMQuery q;
  OpenQuery(q, "select n, d from t");
  EXPECT_EQ(q.FieldByName("n")->GetAsString(), "12345678,91");
  EXPECT_EQ(q.FieldByName("d")->GetAsString(), "0,1");

  // A decimal column declares its scale; a 64-bit integer has none to show.
  EXPECT_EQ(TMOdbcFieldData("w", 4, 18, SQL_DECIMAL).GetScale(), 4);
  EXPECT_EQ(TMOdbcFieldData("b", 0, 19, SQL_BIGINT).GetScale(), 0);
  EXPECT_EQ(TMOdbcFieldData("d", 0, 15, SQL_DOUBLE).GetScale(), -1);
}

// Unsigned integer columns read without wrapping.
TEST_F(OdbcResultSet, UnsignedIntegersKeepTheirValue) {
  Exec(*link, {"create table t(u integer unsigned, b bigint)", "insert into t values(4000000000, 9223372036854775807)"});
  TKMQuery q;
  OpenQuery(q, "select * from t");
  EXPECT_EQ(q.FieldByName("u")->GetAsString(), "4000000000");
  EXPECT_EQ(q.FieldByName("u")->GetAsFloat(), 4000000000.0);
  EXPECT_THROW(q.FieldByName("u")->GetAsInteger(), EMDataError);  // refused, not wrapped
  EXPECT_EQ(q.FieldByName("b")->GetAsString(), "9223372036854775807");
  TMOdbcFieldData u("u", 0, 10, SQL_BIGINT, false, true);
  EXPECT_EQ(u.GetElementSize(), 23);  // 20 digits
}

// Fetched rows are kept at the length of their values: every value reads back exactly,
// nulls and empty texts apart, from every rowset and through row handles, while the copies
// take a small part of the bind buffers' size.
TEST_F(OdbcResultSet, RowsetCopiesKeepRowsAtTheLengthOfTheirValues) {
  Exec(*link, {"create table t(a varchar(255), b varchar(255), i integer, d double, ts timestamp)"});
  auto text = [](int r, int c) { return r % 7 == c ? std::string() : "w" + std::to_string(r * 10 + c) + (r % 3 ? "ł" : ""); };
  link->StartTransaction();
  for (int r = 0; r < 45; ++r) {
    const std::string b = r % 5 == 0 ? "null" : "'" + text(r, 1) + "'";
    const std::string i = r % 4 == 0 ? "null" : std::to_string(r - 20);
    link->ExecSQL("insert into t values('" + text(r, 0) + "', " + b + ", " + i + ", " + std::to_string(r) +
                      ".25, '2024-03-05 14:07:" + std::to_string(10 + r) + "')",
                  nullptr);
  }
  link->Commit();
  TKMQuery q;
  OpenQuery(q, "select * from t order by d");
  EXPECT_EQ(q.GetCount(), 45);
  ASSERT_EQ(Rs(q)->GetCachedBlockCount(), 3);
  // The bind buffers of two varchar(255) columns alone hold 2 x 1021 bytes a row.
  EXPECT_LT(Rs(q)->GetCachedBytes(), 45u * 60);
  void* handle = nullptr;
  for (int r = 44; r >= 0; --r) {
    q.SetPosition(r);
    ASSERT_EQ(q.GetPosition(), r);
    if (r == 3) handle = q.GetExternalIndexData();
    EXPECT_EQ(q.FieldByName("a")->GetAsString(), text(r, 0)) << r;
    EXPECT_EQ(q.FieldByName("b")->GetIsNull(), r % 5 == 0) << r;
    if (r % 5 != 0) {
      EXPECT_EQ(q.FieldByName("b")->GetAsString(), text(r, 1)) << r;
    }
    EXPECT_EQ(q.FieldByName("i")->GetIsNull(), r % 4 == 0) << r;
    if (r % 4 != 0) {
      EXPECT_EQ(q.FieldByName("i")->GetAsInteger(), r - 20) << r;
    }
    EXPECT_DOUBLE_EQ(q.FieldByName("d")->GetAsFloat(), r + 0.25);
    EXPECT_NEAR(q.FieldByName("ts")->GetAsDateTime(), 45356 + (14 * 3600 + 7 * 60 + 10 + r) / 86400.0, 1e-9);
  }
  q.Last();
  q.UseExternalIndex(handle);
  EXPECT_EQ(q.FieldByName("a")->GetAsString(), text(3, 0));
  EXPECT_EQ(q.FieldByName("i")->GetAsInteger(), -17);
  q.UseExternalIndex(nullptr);
  EXPECT_EQ(q.FieldByName("a")->GetAsString(), text(44, 0));
}

TEST_F(OdbcResultSet, StringsAreCutAtTheColumnSizeInCharacters) {
  Exec(*link, {"create table t(a varchar(300), b varchar(3))"});
  std::string longText(300, 'x');
  for (int i = 0; i < 300; ++i) longText[i] = static_cast<char>('a' + i % 26);
  link->ExecSQL("insert into t values('" + longText + "', 'łąęś')", nullptr);
  TKMQuery q;
  OpenQuery(q, "select * from t");
  EXPECT_EQ(q.FieldByName("a")->GetAsString(), longText.substr(0, 255));
  EXPECT_EQ(q.FieldByName("b")->GetAsString(), "łąę");  // three characters, none split
}

TEST_F(OdbcResultSet, ColumnTypeMapping) {
  struct Case {
    SQLSMALLINT Type;
    SQLULEN Size;
    SQLSMALLINT Digits;
    TMFieldType Expected;
    int ElementSize;
  } cases[] = {
      {SQL_NUMERIC, 9, 0, mftInteger, 12},   {SQL_NUMERIC, 10, 0, mftFloat, 13},
      {SQL_DECIMAL, 18, 2, mftExtended, 21}, {SQL_BIGINT, 20, 0, mftExtended, 22},
      {SQL_VARCHAR, 0, 0, mftString, 1021},  {SQL_VARCHAR, 1ull << 40, 0, mftString, 1021},
      {SQL_VARBINARY, 4, 0, mftString, 10},  {SQL_BIT, 1, 0, mftInteger, 0},
      {SQL_REAL, 7, 0, mftFloat, 0},         {SQL_TYPE_TIME, 8, 0, mftDateTime, 0},
  };
  for (const Case& c : cases) {
    TMOdbcFieldData f("c", c.Digits, c.Size, c.Type);
    EXPECT_EQ(f.GetFieldType(), c.Expected) << c.Type << "/" << c.Size;
    EXPECT_EQ(f.GetElementSize(), c.ElementSize) << c.Type << "/" << c.Size;
  }
  for (SQLSMALLINT unsupported : {SQL_GUID, SQL_DATE, SQL_TIME, SQL_TIMESTAMP}) {
    try {
      TMOdbcFieldData f("g", 0, 16, unsupported);
      FAIL();
    } catch (const EMOdbcError& e) {
      EXPECT_EQ(e.Code, 413);
    }
  }
}

TEST_F(OdbcResultSet, RowHandlesReadTheirRowWhileInstalled) {
  Fill(45);
  TKMQuery q;
  OpenQuery(q, "select v from n order by v");
  q.SetPosition(5);
  void* h = q.GetExternalIndexData();
  ASSERT_NE(h, nullptr);
  q.SetPosition(41);
  EXPECT_EQ(q.UseExternalIndex(h), nullptr);
  EXPECT_EQ(q.FieldByName("v")->GetAsInteger(), 5);
  EXPECT_EQ(q.UseExternalIndex(nullptr), h);
  EXPECT_EQ(q.FieldByName("v")->GetAsInteger(), 41);
}

class OdbcResultSetFake : public test::OdbcTest {
 protected:
  void SetUp() override {
    test::OdbcTest::SetUp();
    link = Connect(test::kFakeDsn);
    q.SetLink(link.get());
  }
  int OpenCode(const std::string& Sql) {
    q.GetSQL().SetText(Sql);
    try {
      q.Open();
    } catch (const EMOdbcError& e) {
      EXPECT_FALSE(q.GetActive());
      EXPECT_EQ(q.GetResultSet(), nullptr);
      return e.Code;
    }
    return 0;
  }
  std::unique_ptr<TMOdbcLink> link;
  TKMQuery q;
};

// A 64-bit column the driver describes as unsigned keeps values from 2^63 to 2^64 - 1. (The
// SQLite driver cannot deliver one: SQLite's integers are signed and larger ones become
// floating point; PostgreSQL has no unsigned 64-bit type.)
TEST_F(OdbcResultSetFake, UnsignedBigintsAbove2To63KeepTheirValue) {
  EXPECT_EQ(OpenCode("ubig 9223372036854775808 18446744073709551615"), 0);
  TMField* ub = q.FieldByName("ub");
  EXPECT_EQ(ub->GetAsString(), "9223372036854775808");
  EXPECT_EQ(ub->GetAsExtended(), 9223372036854775808.0L);
  EXPECT_THROW(ub->GetAsInteger(), EMDataError);  // refused, not wrapped
  q.Next();
  EXPECT_EQ(ub->GetAsString(), "18446744073709551615");
  EXPECT_EQ(ub->GetAsExtended(), 18446744073709551615.0L);
  EXPECT_EQ(ub->GetAsFloat(), 18446744073709551616.0);  // the nearest double
}

// A rowset's copy keeps its timestamps in fewer bytes than their structure; every one reads
// back as the driver's buffer gave it (a forward-only query reads that buffer itself), also
// in a rowset holding a value no packing was made for (an hour of 40, a fraction past 2^30).
TEST_F(OdbcResultSetFake, CopiedTimestampsReadBackAsTheDriverGaveThem) {
  const std::string tight = "stamps 1-1-1-0-0-0-0 9999-12-31-23-59-59-999999999 2024-2-29-12-30-61-1000 "
                            "1900-6-15-7-8-9-123456789";
  const std::string wide = tight + " 2024-3-5-40-7-9-1500000000";
  for (const std::string& script : {tight, wide}) {
    auto read = [&](bool ForwardOnly) {
      TKMQuery query;
      query.SetLink(link.get());
      query.SetForwardOnly(ForwardOnly);
      query.GetSQL().SetText(script);
      query.Open();
      std::vector<std::string> values;
      for (; !query.GetEof(); query.Next()) {
        try {
          char exact[40];
          std::snprintf(exact, sizeof exact, "%a", query.FieldByName("ts")->GetAsDateTime());
          values.push_back(exact);
        } catch (const Exception& e) {
          values.push_back("error: " + e.Message);
        }
      }
      return values;
    };
    const auto live = read(true);
    ASSERT_FALSE(live.empty());
    EXPECT_NE(live[1], live[2]);
    EXPECT_EQ(read(false), live) << script;
  }
}

TEST_F(OdbcResultSetFake, OpenFailuresAreReportedWithTheirCodes) {
  std::vector<test::QueryCall> calls;
  test::RecordQueries(*link, calls);
  EXPECT_EQ(OpenCode("col -11 16 0 1"), 413);  // uniqueidentifier
  EXPECT_EQ(Contexts(calls), (std::vector<TMQueryContext>{mqcOpenBefore, mqcOpenError}));
  EXPECT_EQ(OpenCode("col 12 10 0 300"), 419);
  EXPECT_EQ(OpenCode("diag 1 5"), 416);
  EXPECT_EQ(OpenCode("rows 5 failat 0"), 421);
  EXPECT_EQ(OpenCode("col 12 0 0 5"), 0);  // size unknown: the largest element
  EXPECT_EQ(static_cast<TMOdbcResultSet*>(q.GetResultSet())->GetFieldData(0)->GetElementSize(), 1021);
}

TEST_F(OdbcResultSetFake, ColumnNamesUpTo256CharactersArriveWholeAndLongerOnesAreRefused) {
  struct Case {
    const char* Sql;
    size_t Chars;  // 0: refused with 419
  } cases[] = {{"col 12 10 0 256", 256}, {"col 12 10 0 200 pl", 200}, {"col 12 10 0 256 pl", 256},
               {"col 12 10 0 257", 0},   {"col 12 10 0 257 pl", 0},   {"col 12 10 0 600 pl", 0}};
  for (const Case& c : cases) {
    const int code = OpenCode(c.Sql);
    if (c.Chars == 0) {
      EXPECT_EQ(code, 419) << c.Sql;
      continue;
    }
    ASSERT_EQ(code, 0) << c.Sql;
    const AnsiString name = q.GetResultSet()->GetFieldName(0);
    EXPECT_TRUE(utf8::IsValid(name)) << c.Sql;
    EXPECT_EQ(utf8::Length(name), c.Chars) << c.Sql;
    q.Close();
  }
}

TEST_F(OdbcResultSetFake, HalfBuiltResultSetAnswersSafely) {
  // The open fails at the first column: its entry was never built.
  TMOdbcResultSet rs(link.get(), &q);
  EXPECT_THROW(rs.Open("col -11 16 0 1", nullptr), EMOdbcError);
  EXPECT_EQ(rs.GetFieldCount(), 1);
  EXPECT_EQ(rs.GetFieldName(0), "");
  EXPECT_EQ(rs.GetFieldType(0), mftString);
  EXPECT_TRUE(rs.IsFieldNull(0));
  EXPECT_EQ(rs.GetStringFieldValue(0), "");
}

TEST_F(OdbcResultSetFake, FailedFetchKeepsTheCurrentRowAndEarlierRowsets) {
  q.GetSQL().SetText("rows 100 failat 45");
  q.Open();
  q.SetPosition(30);
  try {
    q.SetPosition(60);
    FAIL();
  } catch (const EMOdbcError& e) {
    EXPECT_EQ(e.Code, 424);
    EXPECT_EQ(e.GetTopicCount(), 2);
  }
  EXPECT_EQ(q.GetPosition(), 30);
  EXPECT_EQ(q.FieldByName("n")->GetAsInteger(), 30);
  EXPECT_EQ(static_cast<TMOdbcResultSet*>(q.GetResultSet())->GetBlockCount(), 2);
}

TEST_F(OdbcResultSetFake, InformationIsCollectedWhenAsked) {
  q.SetCollectDriverInfo(true);
  q.GetSQL().SetText("info 3");
  q.Open();
  EXPECT_EQ(q.GetDriverInfo().size(), 3u);
  q.Close();
  q.GetSQL().SetText("rows 30 fetchinfo");
  q.Open();
  EXPECT_EQ(q.GetDriverInfo().size(), 1u);  // emptied at open, one record per fetch
  q.Last();
  EXPECT_EQ(q.GetDriverInfo().size(), 2u);
  q.Close();
  q.SetCollectDriverInfo(false);
  q.GetSQL().SetText("info 3");
  q.Open();
  EXPECT_TRUE(q.GetDriverInfo().empty());
}

}  // namespace
}  // namespace vandrel
