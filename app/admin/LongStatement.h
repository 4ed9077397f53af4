#pragma once
// What backup and restore read on the main query themselves (a backup file's rows), and the
// closing account the server gives of their statements, which run for as long as the
// database is large (through the maintenance runner, in master, so that the tool's own
// connection holds no database).
#include <QString>
#include <string>
#include <vector>

#include "app/CommandContext.h"
#include "app/StatementMessages.h"

namespace vandrel::app::admin {

// Opens Statement on the main query after "use master" (raises as the query does).
void OpenInMaster(TCommandContext& Context, const std::string& Statement);

// From the closing account "... successfully processed 74 pages in 0.312 seconds (...)": the
// pages and the seconds as the server wrote them. False when no such line is there.
bool ProcessedPages(const std::vector<TDriverRecord>& Messages, std::string& Pages, std::string& Seconds);

// "74 stron w 0,312 s" (the user's decimal separator), or an empty text without the account.
QString ProcessedText(const std::vector<TDriverRecord>& Messages);

}  // namespace vandrel::app::admin
