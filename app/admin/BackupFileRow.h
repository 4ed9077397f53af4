#pragma once
// The row both backup dialogs open with: "Plik kopii na dysku serwera:", the path of the
// backup file, and "..." that chooses one on the server's disk; that chooser's filter; and
// the size of a backup as the backup windows show it.
#include <QString>
#include <string>

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

// Bytes as megabytes with one decimal, in the user's decimal separator ("10,5 MB").
QString MegabytesOfBytes(const std::string& Bytes);

}  // namespace vandrel::app::admin
