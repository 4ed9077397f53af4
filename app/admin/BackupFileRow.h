#pragma once
// The row both backup dialogs open with: "Plik kopii na dysku serwera:", the path of the
// backup file, and "..." that chooses one on the server's disk; and that chooser's filter.
#include <QString>

class QDialog;
class QLineEdit;
class QToolButton;

namespace vandrel::app::admin {

extern const QString kBackupFileFilter;

struct TBackupFileRow {
  QLineEdit* Edit;
  QToolButton* Browse;
};

// Adds the row at the top of Dialog: the path box EditWidth wide, the button at BrowseLeft.
TBackupFileRow AddBackupFileRow(QDialog* Dialog, int EditWidth, int BrowseLeft);

}  // namespace vandrel::app::admin
