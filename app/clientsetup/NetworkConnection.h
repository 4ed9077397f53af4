#pragma once
// "Utwórz połączenie sieciowe Tovinex": writes the Tovinex client entries for an existing
// database, chosen in TPasswordDlg2.
namespace vandrel::app {
class TForm1;
}

namespace vandrel::app::clientsetup {

void CreateTovinexConnection(TForm1& Form);

}  // namespace vandrel::app::clientsetup
