#include "app/admin/FreeTdsConfDlg.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/DialogSeam.h"
#include "app/DesktopOpener.h"
#include "app/CommandContext.h"
#include "app/admin/FreeTdsSectionDlg.h"

namespace vandrel::app::admin {

TFreeTdsConfDlg::TFreeTdsConfDlg(QWidget* Parent) : QDialog(Parent) {
  setObjectName("FreeTdsConfDlg");
  setWindowTitle(QStringLiteral("Konfiguracja klienta FreeTDS"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral(
      "Połączenia z serwerem idą przez sterownik FreeTDS. Serwera nazwanego w źródle danych szuka on "
      "najpierw w pliku użytkownika, potem w pliku systemowym."));
  intro->setWordWrap(true);
  layout->addWidget(intro);
  Files = new QTabWidget;
  const QString titles[2] = {QStringLiteral("Plik użytkownika"), QStringLiteral("Plik systemowy")};
  for (int i = 0; i < 2; ++i) {
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    Paths[i] = new QLabel;
    Paths[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Servers[i] = new QTreeWidget;
    Servers[i]->setObjectName(i == 0 ? "UserServers" : "SystemServers");
    Servers[i]->setRootIsDecorated(false);
    Servers[i]->setHeaderLabels({QStringLiteral("Serwer"), QStringLiteral("Komputer"), QStringLiteral("Port"),
                                 QStringLiteral("Instancja")});
    connect(Servers[i], &QTreeWidget::itemDoubleClicked, this, &TFreeTdsConfDlg::ChangeServer);
    Texts[i] = new QPlainTextEdit;
    Texts[i]->setReadOnly(true);
    Texts[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
    pageLayout->addWidget(Paths[i]);
    pageLayout->addWidget(Servers[i], 1);
    pageLayout->addWidget(Texts[i], 1);
    Files->addTab(page, titles[i]);
  }
  layout->addWidget(Files);
  auto* buttons = new QHBoxLayout;
  AddButton = new QPushButton(QStringLiteral("Dodaj..."));
  AddButton->setObjectName("AddButton");
  ChangeButton = new QPushButton(QStringLiteral("Zmień..."));
  ChangeButton->setObjectName("ChangeButton");
  RemoveButton = new QPushButton(QStringLiteral("Usuń"));
  RemoveButton->setObjectName("RemoveButton");
  RefreshButton = new QPushButton(QStringLiteral("Odśwież"));
  RefreshButton->setObjectName("RefreshButton");
  for (QPushButton* b : {AddButton, ChangeButton, RemoveButton, RefreshButton}) buttons->addWidget(b);
  OpenButton = new QPushButton(QStringLiteral("Otwórz w edytorze"));
  OpenButton->setObjectName("OpenButton");
  CloseButton = new QPushButton(QStringLiteral("Zamknij"));
  CloseButton->setObjectName("CloseButton");
  CloseButton->setDefault(true);
  buttons->addStretch();
  buttons->addWidget(OpenButton);
  buttons->addWidget(CloseButton);
  layout->addLayout(buttons);
  resize(640, 460);

  connect(Files, &QTabWidget::currentChanged, this, [this] { UpdateOpenButton(); });
  connect(OpenButton, &QPushButton::clicked, this, [this] {
    OpenOnDesktop(this, ShownFile().toStdString());
  });
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(AddButton, &QPushButton::clicked, this, &TFreeTdsConfDlg::AddServer);
  connect(ChangeButton, &QPushButton::clicked, this, &TFreeTdsConfDlg::ChangeServer);
  connect(RemoveButton, &QPushButton::clicked, this, &TFreeTdsConfDlg::RemoveServer);
  connect(RefreshButton, &QPushButton::clicked, this, [this] {
    const int shown = Files->currentIndex();
    Reload();
    Files->setCurrentIndex(shown);
  });
  Reload();
}

void TFreeTdsConfDlg::Reload() {
  FFiles[0] = QString::fromStdString(platform::FreeTdsConfFile(platform::HKEY_CURRENT_USER));
  FFiles[1] = QString::fromStdString(platform::FreeTdsConfFile(platform::HKEY_LOCAL_MACHINE));
  int first = -1;
  for (int i = 0; i < 2; ++i) {
    QFile file(FFiles[i]);
    if (file.open(QIODevice::ReadOnly)) {
      Paths[i]->setText(QStringLiteral("Plik: ") + FFiles[i]);
      Texts[i]->setPlainText(QString::fromUtf8(file.readAll()));
      if (first < 0) first = i;
    } else {
      Paths[i]->setText(QStringLiteral("Plik: ") + FFiles[i] +
                        (QFileInfo::exists(FFiles[i]) ? QStringLiteral(" (nie można go odczytać)")
                                                      : QStringLiteral(" (nie istnieje)")));
      Texts[i]->clear();
    }
    Servers[i]->clear();
    try {
      const platform::TFreeTdsConf conf(FFiles[i].toStdString());
      for (const std::string& name : conf.Sections()) {
        new QTreeWidgetItem(Servers[i], {QString::fromStdString(name), QString::fromStdString(conf.Value(name, "host")),
                                         QString::fromStdString(conf.Value(name, "port")),
                                         QString::fromStdString(conf.Value(name, "instance"))});
      }
    } catch (const std::exception&) {
      // a file that cannot be read has said so on its path line
    }
  }
  Files->setCurrentIndex(first < 0 ? 0 : first);
  UpdateOpenButton();
}

QString TFreeTdsConfDlg::ShownFile() const { return FFiles[Files->currentIndex()]; }

void TFreeTdsConfDlg::UpdateOpenButton() { OpenButton->setEnabled(QFileInfo::exists(ShownFile())); }

QString TFreeTdsConfDlg::SelectedServer() const {
  const QTreeWidgetItem* item = Servers[Files->currentIndex()]->currentItem();
  return item && item->isSelected() ? item->text(0) : QString();
}

void TFreeTdsConfDlg::ChangeFile(const std::function<void(platform::TFreeTdsConf&)>& Change) {
  const int shown = Files->currentIndex();
  try {
    platform::TFreeTdsConf conf(ShownFile().toStdString());
    Change(conf);
  } catch (const std::exception& e) {
    ShowMessage(this, QString::fromStdString(e.what()), QStringLiteral("Konfiguracja klienta FreeTDS"), MsgIcon::Error);
  }
  Reload();
  Files->setCurrentIndex(shown);
}

void TFreeTdsConfDlg::AddServer() {
  TFreeTdsSectionDlg dialog(this, {}, {}, false);
  if (DialogSeam::Current().ExecDialog(&dialog) != QDialog::Accepted) return;
  ChangeFile([&](platform::TFreeTdsConf& Conf) {
    if (Conf.HasSection(dialog.Name().toStdString())) {
      throw std::runtime_error("Serwer \"" + dialog.Name().toStdString() + "\" już jest w pliku " + Conf.FileName());
    }
    Conf.SetServer(dialog.Name().toStdString(), dialog.Server(), false);
  });
}

void TFreeTdsConfDlg::ChangeServer() {
  const QString name = SelectedServer();
  if (name.isEmpty()) return;
  const platform::TFreeTdsConf conf(ShownFile().toStdString());
  const std::string section = name.toStdString();
  TFreeTdsSectionDlg dialog(this, name,
                            {conf.Value(section, "host"), conf.Value(section, "port"), conf.Value(section, "instance")},
                            true);
  if (DialogSeam::Current().ExecDialog(&dialog) != QDialog::Accepted) return;
  ChangeFile([&](platform::TFreeTdsConf& Conf) { Conf.SetServer(section, dialog.Server()); });
}

void TFreeTdsConfDlg::RemoveServer() {
  const QString name = SelectedServer();
  if (name.isEmpty()) return;
  if (ShowMessage(this, QStringLiteral("Usunąć serwer \"%1\" z pliku %2?").arg(name, ShownFile()),
                  QStringLiteral("Konfiguracja klienta FreeTDS"), MsgIcon::Question, mbYes | mbNo) != mbYes)
    return;
  ChangeFile([&](platform::TFreeTdsConf& Conf) { Conf.RemoveSection(name.toStdString()); });
}

void ShowFreeTdsConfiguration(TCommandContext& Context) {
  TFreeTdsConfDlg dialog(Context.DialogParent());
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
