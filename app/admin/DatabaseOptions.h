#pragma once
// The command "Parametry bazy": reads nine properties of the selected database into
// TOKBottomDlg and, on "Zapisz", sends every option the dialog can change.
#include <string>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

class TOKBottomDlg;

// Fills the dialog from the server; false only when no property could be read at all.
bool ReadOptions(TCommandContext& Context, TOKBottomDlg& Dialog, const std::string& Database);
void DatabaseOptionsCommand(TCommandContext& Context);
// Its table entry, by the design's name.
void Parametrybazy1Click(TCommandContext& Context);

}  // namespace vandrel::app::admin
