#include "app/admin/ServerInfo.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cstdlib>

#include "app/DialogSeam.h"

namespace vandrel::app::admin {

namespace {

const char* const kServicePack = "Service Pack:";

QLabel* FixedLabel(QGridLayout* Grid, int Row, const char* Text) {
  auto* label = new QLabel(QString::fromUtf8(Text));
  Grid->addWidget(label, Row, 0, Qt::AlignLeft | Qt::AlignTop);
  return label;
}

QLabel* ValueLabel(QGridLayout* Grid, int Row, int Column, int Span, const char* Name) {
  auto* label = new QLabel;
  label->setObjectName(Name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Grid->addWidget(label, Row, Column, 1, Span);
  return label;
}

}  // namespace

TServerInfo::TServerInfo(QWidget* Parent) : QDialog(Parent) {
  setObjectName("ServerInfo");
  setWindowTitle(QStringLiteral("SQL Server Engine info"));
  auto* grid = new QGridLayout(this);
  FixedLabel(grid, 0, "Wersja silnika:");
  LblVersion = ValueLabel(grid, 1, 0, 2, "LblVersion");
  LblVersion->setWordWrap(true);
  LblServicePackTitle = FixedLabel(grid, 2, kServicePack);
  LblServicePackTitle->setObjectName("LblServicePackTitle");
  LblServicePack = ValueLabel(grid, 2, 1, 1, "LblServicePack");
  FixedLabel(grid, 3, "Charset:");
  LblCharset = ValueLabel(grid, 3, 1, 1, "LblCharset");
  FixedLabel(grid, 4, "Collation:");
  LblCollation = ValueLabel(grid, 4, 1, 1, "LblCollation");
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  grid->addWidget(ok, 5, 0, 1, 2, Qt::AlignHCenter);
}

bool SplitCollationDescription(const std::string& Description, std::string& Charset,
                               std::string& Collation) {
  const size_t at = Description.find("collation");
  if (at == std::string::npos) return false;
  // Past "collation=" for the name; past the leading "charset=" up to the word for the set.
  Collation = at + 10 <= Description.size() ? Description.substr(at + 10) : std::string();
  Charset = at > 8 ? Description.substr(8, at - 8) : std::string();
  return true;
}

void ShowEngineInfo(TCommandContext& Context) {
  TextList list;
  Context.QueryToList(list, "sp_server_info", "master");
  const int columns = list.empty() ? 0 : std::atoi(list[0].c_str());
  if (columns <= 0) return;

  QWidget* parent = Context.DialogParent();
  auto* dialog = parent->findChild<TServerInfo*>();
  if (!dialog) dialog = new TServerInfo(parent);
  // The value column of a row: the third of the usual three, else the last there is.
  const int valueColumn = std::min(columns, 3);
  const auto value = [&](size_t Row) -> const std::string* {
    const size_t entry = 1 + Row * columns + (valueColumn - 1);
    return entry < list.size() ? &list[entry] : nullptr;
  };
  if (const std::string* version = value(1)) {
    const bool desktop = version->find("Desktop Engine") != std::string::npos;
    dialog->LblVersion->setText(QString::fromStdString(desktop ? "MSDE " + *version : *version));
  }
  if (const std::string* description = value(10)) {
    std::string charset, collation;
    if (SplitCollationDescription(*description, charset, collation)) {
      dialog->LblCharset->setText(QString::fromStdString(charset));
      dialog->LblCollation->setText(QString::fromStdString(collation));
    }
  }
  const std::string level =
      Context.QueryScalar("select CAST(SERVERPROPERTY('ProductLevel') AS nvarchar(128))", "master").Value;
  dialog->LblServicePack->setText(QString::fromStdString(level));
  dialog->LblServicePackTitle->setText(level.empty() ? QString() : QString::fromUtf8(kServicePack));
  DialogSeam::Current().ExecDialog(dialog);
}

}  // namespace vandrel::app::admin
