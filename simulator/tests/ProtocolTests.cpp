// The protocol as SQL Server 2000 speaks it, checked on the bytes: the login response and
// its order, packet sizes, ALL_HEADERS, attention at any moment, and requests the server
// refuses without losing the connection.
#include <gmock/gmock.h>

#include <thread>

#include "TdsRawClient.h"
#include "TdsTestServer.h"
#include "tds/Login7.h"
#include "tds/Packet.h"
#include "tds/ScaledDecimal.h"
#include "tds/SqlBatch.h"
#include "tds/TextCodec.h"
#include "tds/Tokens.h"

namespace msde::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Field;
namespace Token = tds::Token;

std::vector<uint8_t> Kinds(const std::vector<RawToken>& tokens) {
  std::vector<uint8_t> kinds;
  for (const auto& t : tokens) kinds.push_back(t.kind);
  return kinds;
}

bool HasError(const std::vector<RawToken>& tokens, int number) {
  for (const auto& t : tokens)
    if (t.kind == Token::Error && t.number == number) return true;
  return false;
}

bool EndsWithDone(const std::vector<RawToken>& tokens, uint16_t status) {
  return !tokens.empty() && tokens.back().kind == Token::Done && tokens.back().status == status;
}

TEST_F(TdsTest, LoginResponseComesInSqlServersOrder) {
  RawClient raw(port_);
  auto tokens = raw.LogIn(StubEngine::kUser, StubEngine::kPassword, 8192);
  EXPECT_THAT(Kinds(tokens),
              ElementsAre(Token::EnvChange, Token::Info, Token::EnvChange, Token::EnvChange,
                          Token::Info, Token::LoginAck, Token::EnvChange, Token::Done));
  ASSERT_EQ(tokens.size(), 8u);
  EXPECT_EQ(tokens[0].text, "master");
  EXPECT_EQ(tokens[1].number, 5701);
  EXPECT_EQ(tokens[2].env_type, tds::EnvType::SqlCollation);
  EXPECT_EQ(tokens[2].text, std::string("\x15\x04\xD0\x00\x00", 5));  // Polish_CI_AS
  EXPECT_EQ(tokens[3].text, "us_english");
  EXPECT_EQ(tokens[4].number, 5703);
  EXPECT_EQ(tokens[5].text, "Microsoft SQL Server");
  EXPECT_EQ(tokens[6].text, "8192");  // the client's packet size is accepted
  EXPECT_EQ(engine_.LastLogin().client_pid, 4242);
}

TEST_F(TdsTest, ResponsesUseTheNegotiatedPacketSize) {
  RawClient raw(port_);
  raw.LogIn(StubEngine::kUser, StubEngine::kPassword, 1024);
  Bytes text = Utf16("rows 500");
  raw.SendMessage(tds::PacketType::SqlBatch, text);
  std::vector<size_t> sizes;
  ASSERT_TRUE(raw.ReadMessage(&sizes));
  ASSERT_GT(sizes.size(), 2u);
  for (size_t i = 0; i + 1 < sizes.size(); ++i) EXPECT_EQ(sizes[i], 1024u);
  EXPECT_LE(sizes.back(), 1024u);
}

TEST_F(TdsTest, Tds70ClientsAreServedAsSqlServer2000ServesThem) {
  RawClient raw(port_);
  auto tokens = raw.LogIn(StubEngine::kUser, StubEngine::kPassword, 4096, 0x70000000);
  // The Unicode locale and comparison flags, the SQL collation a 7.0 client takes its code
  // page from, and LOGINACK 7.0.
  EXPECT_THAT(Kinds(tokens),
              ElementsAre(Token::EnvChange, Token::Info, Token::EnvChange, Token::EnvChange,
                          Token::EnvChange, Token::EnvChange, Token::Info, Token::LoginAck,
                          Token::EnvChange, Token::Done));
  ASSERT_EQ(tokens.size(), 10u);
  EXPECT_EQ(tokens[2].env_type, tds::EnvType::UnicodeLocale);
  EXPECT_EQ(tokens[2].text, "1045");
  EXPECT_EQ(tokens[3].env_type, tds::EnvType::UnicodeComparison);
  EXPECT_EQ(tokens[4].env_type, tds::EnvType::SqlCollation);
  EXPECT_EQ(tokens[7].number, 0x07000000);
  EXPECT_EQ(tokens.back().status, tds::DoneStatus::Final);
}

TEST_F(TdsTest, Tds42And50LoginsAreRefusedWithAMessageTheyCanRead) {
  RawClient raw(port_);
  Bytes login(512, 0);  // a TDS 4.2 / 5.0 login record: fixed fields of single-byte text
  raw.SendMessage(tds::PacketType::PreTds7Login, login);
  auto response = raw.ReadMessage();
  ASSERT_TRUE(response);
  ASSERT_GT(response->size(), 20u);
  EXPECT_EQ((*response)[0], Token::Error);
  EXPECT_EQ((*response)[3] | (*response)[4] << 8, 4002);
  const std::string text(response->begin() + 11, response->begin() + 11 + 68);
  EXPECT_EQ(text, "The incoming tabular data stream (TDS) protocol stream is incorrect.");
  EXPECT_EQ(response->at(response->size() - 9), Token::Done);
  EXPECT_TRUE(raw.ClosedByServer());
  EXPECT_EQ(engine_.LiveSessions(), 0);
}

TEST_F(TdsTest, Tds70ClientsReadEveryTypeWithoutCollations) {
  auto client = Connect(";TDS_Version=7.0");
  auto result = client->Exec("types");
  ASSERT_TRUE(result.ok);
  ASSERT_EQ(result.Rows().size(), 1u);
  auto row = result.Rows()[0];
  // (The driver leaves single-byte text of a TDS 7.0 server in its code page: Unicode
  // columns are what such clients read Polish text from.)
  EXPECT_EQ(row[0], "2147483647");
  EXPECT_EQ(row[7], "-12345678.90");
  EXPECT_EQ(row[10], "2026-12-08 14:22:36.123");
  EXPECT_EQ(row[11], "ab   ");
  EXPECT_EQ(row[14], "Gęś");
  EXPECT_EQ(row[16], "ntekst ąę");
  EXPECT_EQ(client->Exec("echo Zażółć").Rows()[0][1], "Zażółć");
}

TEST_F(TdsTest, BatchesWithAndWithoutAllHeadersRunAlike) {
  RawClient raw(port_);
  raw.LogIn(StubEngine::kUser, StubEngine::kPassword);
  for (bool headers : {false, true}) {
    auto tokens = raw.Batch("use Sklep", headers);
    EXPECT_THAT(Kinds(tokens), ElementsAre(Token::EnvChange, Token::Info, Token::Done));
    EXPECT_EQ(tokens[0].text, "Sklep");
    EXPECT_EQ(tokens[1].number, 5701);
  }
}

TEST_F(TdsTest, StatementDonesCarryMoreCountAndErrorFlags) {
  RawClient raw(port_);
  raw.LogIn(StubEngine::kUser, StubEngine::kPassword);
  auto tokens = raw.Batch("error");
  EXPECT_THAT(Kinds(tokens), ElementsAre(Token::Error, Token::Done));
  EXPECT_TRUE(EndsWithDone(tokens, tds::DoneStatus::Error));
  tokens = raw.Batch("info");
  EXPECT_TRUE(EndsWithDone(tokens, tds::DoneStatus::Final));
  tokens = raw.Batch("count then error");
  EXPECT_THAT(Kinds(tokens), ElementsAre(Token::Done, Token::Error, Token::Done));
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].status, tds::DoneStatus::More | tds::DoneStatus::Count);
  EXPECT_EQ(tokens[2].status, tds::DoneStatus::Error);
}

TEST_F(TdsTest, AttentionIsAcknowledgedWhileAStatementRunsAndWhenIdle) {
  RawClient raw(port_);
  raw.LogIn(StubEngine::kUser, StubEngine::kPassword);
  raw.SendMessage(tds::PacketType::SqlBatch, Utf16("waitfor"));
  ASSERT_TRUE(engine_.WaitForWaitingSession());
  raw.SendMessage(tds::PacketType::Attention, {});
  // Nothing had gone out: the cut-short response is a bare DONE, then the acknowledgement.
  auto response = raw.ReadMessage();
  ASSERT_TRUE(response);
  EXPECT_THAT(Tokens(*response), ElementsAre(Field(&RawToken::status, tds::DoneStatus::Final)));
  response = raw.ReadMessage();
  ASSERT_TRUE(response);
  EXPECT_TRUE(EndsWithDone(Tokens(*response), tds::DoneStatus::Attention));
  // With nothing running, an attention still gets its acknowledgement, and nothing more.
  raw.SendMessage(tds::PacketType::Attention, {});
  response = raw.ReadMessage();
  ASSERT_TRUE(response);
  EXPECT_THAT(Kinds(Tokens(*response)), ElementsAre(Token::Done));
  auto tokens = raw.Batch("use Sklep");
  EXPECT_TRUE(EndsWithDone(tokens, tds::DoneStatus::Final));
}

TEST_F(TdsTest, RequestsThatCannotBeServedAreRefusedOnALiveConnection) {
  RawClient raw(port_);
  raw.LogIn(StubEngine::kUser, StubEngine::kPassword);
  // sp_execute, by its well-known number, without a handle.
  raw.SendMessage(tds::PacketType::Rpc, {0xFF, 0xFF, 12, 0, 0, 0});
  auto response = raw.ReadMessage();
  ASSERT_TRUE(response);
  auto tokens = Tokens(*response);
  EXPECT_THAT(Kinds(tokens), ElementsAre(Token::Error, Token::ReturnStatus, Token::DoneProc));
  EXPECT_THAT(tokens, Contains(Field(&RawToken::text,
                                     "Could not find prepared statement with handle NULL.")));
  // A procedure number that does not exist.
  raw.SendMessage(tds::PacketType::Rpc, {0xFF, 0xFF, 99, 0, 0, 0});
  response = raw.ReadMessage();
  ASSERT_TRUE(response);
  EXPECT_TRUE(HasError(Tokens(*response), 4002));
  // Half a UTF-16 character.
  raw.SendMessage(tds::PacketType::SqlBatch, {'s', 0, 'e'});
  response = raw.ReadMessage();
  ASSERT_TRUE(response);
  EXPECT_TRUE(HasError(Tokens(*response), 4002));
  EXPECT_TRUE(EndsWithDone(raw.Batch("use Sklep"), tds::DoneStatus::Final));
}

class SmallLimitsTest : public TdsTest {
 protected:
  tds::ServerOptions Options() const override {
    tds::ServerOptions options;
    options.max_request_bytes = 64 * 1024;
    options.in_message_timeout_ms = 200;
    return options;
  }
};

TEST_F(SmallLimitsTest, ABatchOverTheLimitIsRefusedAndTheConnectionGoesOn) {
  auto client = Connect();
  auto result = client->Exec("echo " + std::string(40000, 'x'));  // 80 kB as UTF-16
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(result.HasNative(701));
  EXPECT_EQ(client->Scalar("select 1"), "1");
}

TEST_F(SmallLimitsTest, ARequestThatStallsHalfwayIsDropped) {
  RawClient raw(port_);
  raw.LogIn(StubEngine::kUser, StubEngine::kPassword);
  raw.SendBytes({tds::PacketType::SqlBatch, 0, 0, 100, 0, 0, 1, 0, 's', 0});
  EXPECT_TRUE(raw.ClosedByServer());
  EXPECT_TRUE(engine_.WaitForLiveSessions(0));
}

TEST(TdsCodec, PasswordObfuscationIsUndoneForAnyText) {
  for (std::string password : {"", "sa", "Zażółć gęślą jaźń", "\xF0\x9F\x98\x80"}) {
    Bytes coded = EncodePassword(password);
    EXPECT_EQ(tds::DecodePassword(coded.data(), coded.size() / 2), password);
  }
}

TEST(TdsCodec, ScaledDecimalsRoundHalfAwayFromZeroAndRefuseWhatDoesNotFit) {
  using tds::ParseScaled;
  EXPECT_EQ(ParseScaled("12.345", 2), tds::Int128(1235));
  EXPECT_EQ(ParseScaled("-12.345", 2), tds::Int128(-1235));
  EXPECT_EQ(ParseScaled("12.344", 2), tds::Int128(1234));
  EXPECT_EQ(ParseScaled("7", 4), tds::Int128(70000));
  EXPECT_EQ(ParseScaled("1.5e3", 0), tds::Int128(1500));
  EXPECT_EQ(ParseScaled("5e-1", 0), tds::Int128(1));
  EXPECT_EQ(ParseScaled("0.0001", 2), tds::Int128(0));
  EXPECT_EQ(ParseScaled(std::string(38, '9'), 0).has_value(), true);
  EXPECT_EQ(ParseScaled(std::string(39, '9'), 0), std::nullopt);
  EXPECT_EQ(ParseScaled(std::string(38, '9') + ".9", 0), std::nullopt);  // rounds past 38
  for (const char* bad : {"", "-", "1.2.3", "12abc", "1e", "."})
    EXPECT_EQ(ParseScaled(bad, 2), std::nullopt) << bad;
}

TEST(TdsCodec, AllHeadersAreFoundOnlyWhenWellFormed) {
  tds::Writer w;
  w.U32(22);
  w.U32(18);
  w.U16(2);
  w.U64(0);
  w.U32(1);
  EXPECT_EQ(tds::AllHeadersLength(w.Data()), 22u);
  EXPECT_EQ(tds::AllHeadersLength(Utf16("select 1")), 0u);
  Bytes truncated(w.Data().begin(), w.Data().begin() + 10);
  EXPECT_EQ(tds::AllHeadersLength(truncated), 0u);
}

}  // namespace
}  // namespace msde::testing
