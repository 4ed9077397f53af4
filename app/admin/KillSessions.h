#pragma once
// "Zabij proces": ends the sessions selected in the process list, after one question that
// names each of them, checking right before each KILL that the number still belongs to the
// session the list showed; then says what ended and what did not.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

void KillSelectedProcess(TCommandContext& Context);

// The Polish account of the server's refusal of a KILL, by its error number (empty for one
// it does not know).
std::string KillRefusalText(int NativeError);

}  // namespace vandrel::app::admin
