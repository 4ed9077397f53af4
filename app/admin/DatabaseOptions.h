#pragma once
// The command "Parametry bazy": reads nine properties of the selected database into
// TOKBottomDlg and, on "Zapisz", sends every option the dialog can change.
#include <string>

namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::admin {

class TOKBottomDlg;

// Fills the dialog from the server; false only when no property could be read at all.
bool ReadOptions(TForm1& Form, TOKBottomDlg& Dialog, const std::string& Database);
void DatabaseOptionsCommand(TForm1& Form);

}  // namespace vandrel::app::admin
