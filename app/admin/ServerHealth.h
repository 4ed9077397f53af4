#pragma once
// "Stan serwera": the server's health findings in the server node's detail list, worst first,
// an icon per weight and the command that mends each; a double click or Enter on a row runs
// that command on the finding's database. Reads only, until the user chooses a mend.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

void ServerHealthCommand(TCommandContext& Context);
// The mend of the finding in the list's Row (as shown); nothing when the list shows no findings.
void MendHealthFinding(TCommandContext& Context, int Row);
// "Napraw użytkowników": after a confirmation that lists them, maps Database's users whose
// login is gone or has another SID to the logins of the same names.
void FixOrphanedUsers(TCommandContext& Context, const std::string& Database);

}  // namespace vandrel::app::admin
