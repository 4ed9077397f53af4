#pragma once
// "SQL Server Engine Info": the engine's version, service pack, character set and collation
// in the dialog TServerInfo. The dialog lives as long as the main window, so that a value the
// server does not give this time keeps the text it had.
#include <QDialog>
#include <string>

#include "app/CommandContext.h"

class QLabel;

namespace vandrel::app::admin {

class TServerInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TServerInfo(QWidget* Parent = nullptr);

  QLabel* LblVersion = nullptr;         // value of "Wersja silnika:"
  QLabel* LblServicePackTitle = nullptr;  // "Service Pack:", emptied at the base level
  QLabel* LblServicePack = nullptr;
  QLabel* LblCharset = nullptr;
  QLabel* LblCollation = nullptr;
};

// The collation description of the server ("charset=... sort_order=... collation=...") split
// into the character set part (with its trailing blank) and the collation name; false when it
// names no collation.
bool SplitCollationDescription(const std::string& Description, std::string& Charset,
                               std::string& Collation);

void ShowEngineInfo(TCommandContext& Context);

}  // namespace vandrel::app::admin
