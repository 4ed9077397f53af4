#pragma once
// "Utwórz połączenie sieciowe Tovinex": writes the Tovinex client entries for an existing
// database, chosen in TPasswordDlg2.
#include "app/CommandContext.h"

namespace vandrel::app::clientsetup {

void CreateTovinexConnection(TCommandContext& Context);

}  // namespace vandrel::app::clientsetup
