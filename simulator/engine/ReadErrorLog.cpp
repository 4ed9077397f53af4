// xp_readerrorlog and sp_readerrorlog [log, type, 'search1', 'search2']: the server's error
// log (engine/ErrorLog.h), the current one (0) or an older generation (1 to 6). Type 1 or
// NULL is the server's log, 2 the agent's, which this server does not keep. Both search
// texts must occur in an entry for it to be listed. SQL Server 2000 answers the log's lines
// (ERRORLOG, ContinuationRow: a line too long for one row goes on in the next); 2005 answers
// each entry as LogDate, ProcessInfo and Text.
#include <string>
#include <vector>

#include "engine/ErrorLog.h"
#include "engine/Statements.h"

namespace msde {
namespace {

constexpr size_t kErrorLogRowWidth = 255;  // characters of one ERRORLOG row of SQL Server 2000

bool LogEntryContains(const std::string& text, const std::string& part) {
  return part.empty() || Upper(text).find(Upper(part)) != std::string::npos;
}

std::vector<ErrorLogLine> LogOf(Context& ctx, int64_t number) {
  const ErrorLog& log = ctx.model.error_log;
  if (number == 0) return log.lines;
  std::optional<std::vector<ErrorLogLine>> older;
  if (!log.file.empty() && number <= kErrorLogGenerations)
    older = ReadErrorLogFile(log.file + "." + std::to_string(number));
  if (!older) ctx.Fail(22004, 16, 1, "xp_readerrorlog() returned error 2, 'The system cannot find the file specified.'");
  return *older;
}

void Lines2000(Context& ctx, const std::vector<ErrorLogLine>& entries) {
  ResultSet r;
  r.columns = {{"ERRORLOG", SqlType::VarChar, static_cast<int>(kErrorLogRowWidth), 0, 0, true},
               {"ContinuationRow", SqlType::Int, 0, 0, 0, true}};
  for (const ErrorLogLine& entry : entries) {
    std::string text = ErrorLogText(entry);
    text.pop_back();
    size_t at = 0;
    while (at <= text.size()) {
      const size_t eol = std::min(text.find('\n', at), text.size());
      for (size_t from = at; from < eol || from == at; from += kErrorLogRowWidth)
        r.rows.push_back({text.substr(from, std::min(kErrorLogRowWidth, eol - from)), int64_t{from == at ? 0 : 1}});
      at = eol + 1;
    }
  }
  ctx.SendResult(r);
}

void Entries2005(Context& ctx, const std::vector<ErrorLogLine>& entries) {
  ResultSet r;
  r.columns = {{"LogDate", SqlType::DateTime, 0, 0, 0, true},
               {"ProcessInfo", SqlType::NVarChar, 50, 0, 0, true},
               {"Text", SqlType::NVarChar, 4000, 0, 0, true}};
  for (const ErrorLogLine& entry : entries) r.rows.push_back({entry.time, entry.source, entry.text});
  ctx.SendResult(r);
}

void ReadErrorLog(Context& ctx, const ProcArgs& args, const char* name) {
  if (!ctx.IsSysadmin())
    ctx.Fail(229, 14, 5, std::string("EXECUTE permission denied on object '") + name +
                             "', database 'master', owner 'dbo'.");
  const int64_t number = args.Int("@p1").value_or(0);
  const int64_t type = args.Int("@p2").value_or(1);
  std::vector<ErrorLogLine> entries;
  if (type != 2) {
    for (ErrorLogLine& entry : LogOf(ctx, number))
      if (LogEntryContains(entry.text, args.Text("@p3")) && LogEntryContains(entry.text, args.Text("@p4")))
        entries.push_back(std::move(entry));
  }
  if (ctx.model.server.Is2005()) Entries2005(ctx, entries);
  else Lines2000(ctx, entries);
}

const std::vector<ProcParam> kErrorLogParams = {{"@p1"}, {"@p2"}, {"@p3"}, {"@p4"}};
const ProcedureRegistration xp_read("xp_readerrorlog", kErrorLogParams,
                                    [](Context& ctx, const ProcArgs& args) { ReadErrorLog(ctx, args, "xp_readerrorlog"); });
const ProcedureRegistration sp_read("sp_readerrorlog", kErrorLogParams,
                                    [](Context& ctx, const ProcArgs& args) { ReadErrorLog(ctx, args, "sp_readerrorlog"); });

}  // namespace
}  // namespace msde
