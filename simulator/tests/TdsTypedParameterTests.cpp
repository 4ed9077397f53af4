// Parameters keep their types on the way in and out: through FreeTDS against the real
// engine (a datetime keeps its milliseconds, a bit stays a bit, a decimal its scale, NULL
// its type), and output parameters of a procedure call come back as RETURNVALUE tokens of
// the parameter's own type.
#include <gmock/gmock.h>

#include <algorithm>
#include <memory>

#include "TdsRawClient.h"
#include "TdsTestServer.h"
#include "tds/Packet.h"
#include "tds/TextCodec.h"
#include "tds/Tokens.h"
#include "testkit/SimServer.h"

namespace msde::testing {
namespace {

// One result column as the driver describes it, and its value read as text.
struct Described {
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  std::string text;
};

class TypedParameterOdbcTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new testkit::SimServer(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    client_ = std::make_unique<testkit::OdbcClient>(server_->Utf8ConnectionString("sa", ""));
    SQLAllocHandle(SQL_HANDLE_STMT, client_->Handle(), &stmt_);
  }
  void TearDown() override { SQLFreeHandle(SQL_HANDLE_STMT, stmt_); }

  // Runs Sql with the parameters bound so far and describes the one row's columns.
  std::vector<Described> Run(const char* sql) {
    std::vector<Described> out;
    SQLRETURN rc = SQLExecDirect(stmt_, (SQLCHAR*)sql, SQL_NTS);
    if (!SQL_SUCCEEDED(rc)) {
      ADD_FAILURE() << testkit::OdbcFailure("SQLExecDirect", testkit::CollectDiagnostics(SQL_HANDLE_STMT, stmt_)).what();
      return out;
    }
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt_, &columns);
    EXPECT_TRUE(SQL_SUCCEEDED(SQLFetch(stmt_)));
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      Described d;
      SQLCHAR name[64];
      SQLSMALLINT name_length = 0, nullable = 0;
      SQLDescribeCol(stmt_, c, name, sizeof name, &name_length, &d.type, &d.size, &d.digits, &nullable);
      char value[256] = {0};
      SQLLEN length = 0;
      SQLGetData(stmt_, c, SQL_C_CHAR, value, sizeof value, &length);
      d.text = length == SQL_NULL_DATA ? "NULL" : value;
      out.push_back(d);
    }
    SQLCloseCursor(stmt_);
    return out;
  }

  static testkit::SimServer* server_;
  std::unique_ptr<testkit::OdbcClient> client_;
  SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

testkit::SimServer* TypedParameterOdbcTest::server_ = nullptr;

TEST_F(TypedParameterOdbcTest, ParametersComeBackInTheirOwnTypes) {
  SQL_TIMESTAMP_STRUCT when{2026, 12, 8, 14, 22, 36, 123000000};
  unsigned char bit = 1;
  char decimal_text[] = "-12345.67";
  char polish[] = "Zażółć gęślą";
  SQLINTEGER null_int = 0;
  SQLLEN when_length = 0, bit_length = 0, decimal_length = SQL_NTS, polish_length = SQL_NTS,
         null_length = SQL_NULL_DATA;
  SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &when, 0, &when_length);
  SQLBindParameter(stmt_, 2, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &bit, 0, &bit_length);
  SQLBindParameter(stmt_, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_DECIMAL, 10, 2, decimal_text, 0, &decimal_length);
  SQLBindParameter(stmt_, 4, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_WVARCHAR, 40, 0, polish, 0, &polish_length);
  SQLBindParameter(stmt_, 5, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &null_int, 0, &null_length);
  auto columns = Run("select ?, ?, ?, ?, ?");
  ASSERT_EQ(columns.size(), 5u);
  EXPECT_EQ(columns[0].type, SQL_TYPE_TIMESTAMP);
  EXPECT_EQ(columns[0].text, "2026-12-08 14:22:36.123");
  EXPECT_EQ(columns[1].type, SQL_BIT);
  EXPECT_EQ(columns[1].text, "1");
  EXPECT_EQ(columns[2].type, SQL_NUMERIC);  // FreeTDS sends a decimal parameter as numeric
  EXPECT_EQ(columns[2].digits, 2);
  EXPECT_EQ(columns[2].text, "-12345.67");
  EXPECT_EQ(columns[3].type, SQL_WVARCHAR);
  EXPECT_EQ(columns[3].text, "Zażółć gęślą");
  EXPECT_EQ(columns[4].type, SQL_INTEGER);
  EXPECT_EQ(columns[4].text, "NULL");
}

// An RPC request by hand: a procedure by its well-known number and typed parameters.
class RpcBuilder {
 public:
  explicit RpcBuilder(uint16_t procedure) {
    w_.U16(0xFFFF);
    w_.U16(procedure);
    w_.U16(0);  // option flags
  }
  RpcBuilder& NText(const std::string& name, const std::string& text) {
    Begin(name, false);
    const Bytes utf16 = Utf16(text);
    w_.U8(0xE7);
    w_.U16(8000);
    w_.Raw(tds::kCollation, sizeof tds::kCollation);
    w_.U16(static_cast<uint16_t>(utf16.size()));
    w_.Raw(utf16);
    return *this;
  }
  RpcBuilder& Int(const std::string& name, std::optional<int32_t> value, bool output) {
    Begin(name, output);
    w_.U8(0x26);
    w_.U8(4);
    w_.U8(value ? 4 : 0);
    if (value) w_.U32(static_cast<uint32_t>(*value));
    return *this;
  }
  RpcBuilder& DateTime(const std::string& name, int32_t days, uint32_t ticks, bool output) {
    Begin(name, output);
    w_.U8(0x6F);
    w_.U8(8);
    w_.U8(8);
    w_.U32(static_cast<uint32_t>(days));
    w_.U32(ticks);
    return *this;
  }
  RpcBuilder& Money(const std::string& name, int64_t ten_thousandths, bool output) {
    Begin(name, output);
    w_.U8(0x6E);
    w_.U8(8);
    w_.U8(8);
    w_.U32(static_cast<uint32_t>(static_cast<uint64_t>(ten_thousandths) >> 32));
    w_.U32(static_cast<uint32_t>(ten_thousandths));
    return *this;
  }
  RpcBuilder& VarBinary(const std::string& name, const Bytes& value, bool output) {
    Begin(name, output);
    w_.U8(0xA5);
    w_.U16(8000);
    w_.U16(static_cast<uint16_t>(value.size()));
    w_.Raw(value);
    return *this;
  }
  const Bytes& Payload() const { return w_.Data(); }

 private:
  void Begin(const std::string& name, bool output) {
    const Bytes utf16 = Utf16(name);
    w_.U8(static_cast<uint8_t>(utf16.size() / 2));
    w_.Raw(utf16);
    w_.U8(output ? 1 : 0);
  }
  tds::Writer w_;
};

// The RETURNVALUE tokens of a response: name, wire type and value bytes.
struct Returned {
  std::string name;
  uint8_t wire_type = 0;
  Bytes value;
};

std::vector<Returned> ReturnValues(const Bytes& m) {
  std::vector<Returned> out;
  for (size_t i = 0; i + 1 < m.size(); ++i) {
    if (m[i] != tds::Token::ReturnValue) continue;
    Returned r;
    size_t at = i + 3;  // token, ordinal
    const size_t units = m[at++];
    r.name = tds::Utf16LeToUtf8(&m[at], units);
    at += 2 * units + 1 + 2 + 2;  // name, status, user type, flags
    r.wire_type = m[at++];
    const bool wide = r.wire_type == 0xA5;  // BIGVARBINARY: 16-bit maximum and length
    at += wide ? 2 : 1;
    const size_t n = wide ? m[at] | m[at + 1] << 8 : m[at];
    at += wide ? 2 : 1;
    r.value.assign(m.begin() + static_cast<std::ptrdiff_t>(at),
                   m.begin() + static_cast<std::ptrdiff_t>(at + n));
    out.push_back(r);
    i = at + n - 1;
  }
  return out;
}

// Sends the call and reads its whole response.
std::optional<Bytes> Call(RawClient& raw, const RpcBuilder& call) {
  raw.SendMessage(tds::PacketType::Rpc, call.Payload());
  return raw.ReadMessage();
}

TEST_F(TdsTest, OutputParametersComeBackInTheirOwnTypes) {
  RawClient raw(port_);
  ASSERT_FALSE(raw.LogIn(StubEngine::kUser, StubEngine::kPassword).empty());
  RpcBuilder call(10);  // sp_executesql
  call.NText("", "select 1")
      .NText("", "@x int output, @n int output, @d datetime output, @m money output, "
             "@b varbinary(8) output")
      .Int("@x", 42, true)
      .Int("@n", std::nullopt, true)
      .DateTime("@d", 46000, 4321, true)
      .Money("@m", 123456, true)
      .VarBinary("@b", Bytes{0x01, 0x02, 0xFF}, true);
  auto response = Call(raw, call);
  ASSERT_TRUE(response);
  auto values = ReturnValues(*response);
  ASSERT_EQ(values.size(), 5u);
  EXPECT_EQ(values[0].name, "@x");
  EXPECT_EQ(values[0].wire_type, 0x26);
  EXPECT_EQ(values[0].value, (Bytes{42, 0, 0, 0}));
  EXPECT_EQ(values[1].wire_type, 0x26);
  EXPECT_TRUE(values[1].value.empty());  // NULL
  EXPECT_EQ(values[2].wire_type, 0x6F);
  EXPECT_EQ(values[2].value, (Bytes{0xB0, 0xB3, 0, 0, 0xE1, 0x10, 0, 0}));
  EXPECT_EQ(values[3].wire_type, 0x6E);
  EXPECT_EQ(values[3].value, (Bytes{0, 0, 0, 0, 0x40, 0xE2, 0x01, 0}));
  EXPECT_EQ(values[4].wire_type, 0xA5);
  EXPECT_EQ(values[4].value, (Bytes{0x01, 0x02, 0xFF}));
}

// Against the real engine: an output parameter carries the value the statement set, after
// the call's return status; each data change's DONE names the kind of statement it ends.
TEST_F(TypedParameterOdbcTest, OutputParametersCarryWhatTheStatementSet) {
  RawClient raw(server_->Port());
  ASSERT_FALSE(raw.LogIn("sa", "").empty());
  RpcBuilder call(10);  // sp_executesql
  call.NText("", "set @o = @i * 2").NText("", "@i int, @o int OUTPUT").Int("@i", 21, false).Int("@o", std::nullopt, true);
  auto response = Call(raw, call);
  ASSERT_TRUE(response);
  auto values = ReturnValues(*response);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "@o");
  EXPECT_EQ(values[0].value, (Bytes{42, 0, 0, 0}));
  const Bytes status_then_value{tds::Token::ReturnStatus, 0, 0, 0, 0, tds::Token::ReturnValue};
  EXPECT_NE(std::search(response->begin(), response->end(), status_then_value.begin(), status_then_value.end()),
            response->end());

  raw.SendBatch("insert into Sklep.dbo.Kasjerzy (IdKasjera, Imie) values (90, 'Ola') "
                "update Sklep.dbo.Kasjerzy set Imie = 'Ala' where IdKasjera = 90 "
                "delete from Sklep.dbo.Kasjerzy where IdKasjera = 90 use master");
  auto changes = raw.ReadMessage();
  ASSERT_TRUE(changes);
  std::vector<int> commands;  // DONE: token, status, CurCmd, a 32-bit count
  for (size_t i = 0; i + 9 <= changes->size() && (*changes)[i] == tds::Token::Done; i += 9)
    commands.push_back((*changes)[i + 3] | (*changes)[i + 4] << 8);
  EXPECT_THAT(commands, ::testing::ElementsAre(0xC3, 0xC5, 0xC4));
}

}  // namespace
}  // namespace msde::testing
