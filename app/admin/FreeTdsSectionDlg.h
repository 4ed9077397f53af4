#pragma once
// One server of freetds.conf as the client's network libraries name it: the section's name and
// where it sends FreeTDS (host, port, instance).
#include <QDialog>

#include "platform/FreeTdsConf.h"

class QLineEdit;
class QPushButton;

namespace vandrel::app::admin {

class TFreeTdsSectionDlg : public QDialog {
  Q_OBJECT
 public:
  // Changing a section keeps its name.
  TFreeTdsSectionDlg(QWidget* Parent, const QString& Name, const platform::TFreeTdsServer& Server, bool Changing);

  QLineEdit* NameEdit = nullptr;
  QLineEdit* HostEdit = nullptr;
  QLineEdit* PortEdit = nullptr;
  QLineEdit* InstanceEdit = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

  QString Name() const;
  platform::TFreeTdsServer Server() const;

 private:
  // Names the first field freetds.conf cannot hold, or returns true.
  bool Check();
};

}  // namespace vandrel::app::admin
