#pragma once
// The statements of backup and restore, which run for as long as the database is large. Each
// runs in master, so that the tool's own connection holds no database, and what the server
// says on the way (its progress and its closing account) is kept for the command.
#include <QString>
#include <string>
#include <vector>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

// Opens Statement on the main query after "use master" (raises as the query does).
void OpenInMaster(TCommandContext& Context, const std::string& Statement);

// Runs Statement in master on the main query under the waiting window, which names it Caption;
// Messages receive the server's informational lines. False when it failed or the user
// stopped it with "Przerwij" (the error report has shown which).
bool RunLongStatement(TCommandContext& Context, const std::string& Statement, const std::string& Caption,
                      std::vector<std::string>& Messages);

// From the closing account "... successfully processed 74 pages in 0.312 seconds (...)": the
// pages and the seconds as the server wrote them. False when no such line is there.
bool ProcessedPages(const std::vector<std::string>& Messages, std::string& Pages, std::string& Seconds);

// "74 stron w 0,312 s" (the user's decimal separator), or an empty text without the account.
QString ProcessedText(const std::vector<std::string>& Messages);

}  // namespace vandrel::app::admin
