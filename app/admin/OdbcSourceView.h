#pragma once
// A data source of another driver than "SQL Server", shown as its file holds it: the manager
// writes only data sources of the driver it knows, so this one is looked at, never changed.
#include <QDialog>

#include "app/OdbcDataSources.h"

class QPushButton;
class QTreeWidget;

namespace vandrel::app::admin {

class TOdbcSourceView : public QDialog {
  Q_OBJECT
 public:
  TOdbcSourceView(QWidget* Parent, const TOdbcSourceEntry& Source);

  QTreeWidget* Keys = nullptr;  // columns: key, value
  QPushButton* CloseButton = nullptr;
};

}  // namespace vandrel::app::admin
