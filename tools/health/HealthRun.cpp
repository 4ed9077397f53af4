#include "tools/health/HealthRun.h"

#include <algorithm>

#include "app/SqlQuoting.h"
#include "app/health/HealthRead.h"
#include "data/OdbcError.h"
#include "data/OdbcLink.h"
#include "data/Query.h"
#include "tools/backup/ServerConnection.h"
#include "tools/health/HealthCommand.h"

namespace vandrel::healthtool {
namespace {

// Runs the checks' statements on the program's link, each in its database.
class TLinkReader : public health::THealthReader {
 public:
  explicit TLinkReader(TMOdbcLink& Link) : FLink(Link) {}
  bool Read(const std::string& Sql, const std::string& Database, health::THealthRows& Rows) override {
    Rows.clear();
    try {
      if (!Database.empty()) FLink.ExecSQL("use " + app::QuoteIdentifier(Database), nullptr);
      TKMQuery query;
      query.SetLink(&FLink);
      query.GetSQL().Add(Sql);
      query.Open();
      const int columns = query.GetFieldCount();
      TMFields* fields = query.GetFields();
      for (; !query.GetEof(); query.Next()) {
        health::THealthRow& row = Rows.emplace_back();
        for (int c = 0; c < columns; ++c) row.push_back(fields->GetFields(c)->GetEditText());
      }
      query.Close();
      return true;
    } catch (const Exception&) {
      return false;
    }
  }

 private:
  TMOdbcLink& FLink;
};

// Whether a failed connect was the server turning the login down (error 18456, or the
// state ODBC gives an authorization failure), not a server that could not be reached.
bool LoginRefused(const Exception& e) {
  const auto* mac = dynamic_cast<const EMException*>(&e);
  for (int i = 0; mac != nullptr && i < mac->GetTopicCount(); ++i) {
    const auto* driver = dynamic_cast<const EMOdbcDriverError*>(mac->GetTopics(i));
    if (driver != nullptr && (driver->NativeError == 18456 || driver->SqlState == "28000")) return true;
  }
  return false;
}

}  // namespace

const char* ReachCheck(TReach Reach) { return Reach == TReach::rsRefused ? "login_refused" : "unreachable"; }

TServerHealth CheckServer(const std::string& Server, const TCheckOptions& Options) {
  TServerHealth result;
  result.Server = Server;
  TMOdbcLink link;
  link.SetConnectionTimeout(Options.LoginTimeout);
  link.SetQueryTimeout(Options.QueryTimeout);
  try {
    backup::ConnectToServer(link, Server, Options.User, Options.Password);
  } catch (const Exception& e) {
    result.Reach = LoginRefused(e) ? TReach::rsRefused : TReach::rsUnreachable;
    result.Error = backup::ServerMessage(e);
    return result;
  }
  if (Options.OnConnected) Options.OnConnected();
  TLinkReader reader(link);
  result.Reach = health::ReadServerFacts(reader, result.Facts) ? TReach::rsReached : TReach::rsUnreachable;
  if (result.Reachable())
    result.Findings = health::JudgeServer(result.Facts);
  else
    result.Error = "serwer nie odpowiedział na pytanie o wersję";
  try {
    link.SetConnected(false);
  } catch (const Exception&) {
  }
  return result;
}

int StatusOf(const TServerHealth& Server) {
  if (Server.Reach == TReach::rsRefused) return kLoginRefused;
  if (!Server.Reachable()) return kUnreachable;
  const health::TWorst worst = health::WorstOf(Server.Findings);
  if (!worst.Any || worst.Weight == health::TWeight::wInfo) return kAllWell;
  return worst.Weight == health::TWeight::wError ? kErrors : kWarnings;
}

int ExitStatus(const std::vector<TServerHealth>& Servers) {
  int status = kAllWell;
  for (const TServerHealth& s : Servers)
    if (WorseStatus(StatusOf(s), status)) status = StatusOf(s);
  return status;
}

}  // namespace vandrel::healthtool
