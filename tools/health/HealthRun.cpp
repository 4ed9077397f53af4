#include "tools/health/HealthRun.h"

#include <algorithm>

#include "app/SqlQuoting.h"
#include "app/health/HealthRead.h"
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

}  // namespace

TServerHealth CheckServer(const std::string& Server, const std::string& User, const std::string& Password) {
  TServerHealth result;
  result.Server = Server;
  TMOdbcLink link;
  link.SetConnectionTimeout(15);
  link.SetQueryTimeout(60);
  try {
    backup::ConnectToServer(link, Server, User, Password);
  } catch (const Exception& e) {
    result.Error = backup::ServerMessage(e);
    return result;
  }
  TLinkReader reader(link);
  result.Reachable = health::ReadServerFacts(reader, result.Facts);
  if (result.Reachable)
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
  if (!Server.Reachable) return kUnreachable;
  const health::TWorst worst = health::WorstOf(Server.Findings);
  if (!worst.Any || worst.Weight == health::TWeight::wInfo) return kAllWell;
  return worst.Weight == health::TWeight::wError ? kErrors : kWarnings;
}

int ExitStatus(const std::vector<TServerHealth>& Servers) {
  int status = kAllWell;
  for (const TServerHealth& s : Servers) status = std::max(status, StatusOf(s));
  return status;
}

}  // namespace vandrel::healthtool
