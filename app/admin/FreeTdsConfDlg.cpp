#include "app/admin/FreeTdsConfDlg.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "platform/FreeTdsConf.h"

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
    Texts[i] = new QPlainTextEdit;
    Texts[i]->setReadOnly(true);
    Texts[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
    pageLayout->addWidget(Paths[i]);
    pageLayout->addWidget(Texts[i]);
    Files->addTab(page, titles[i]);
  }
  layout->addWidget(Files);
  auto* buttons = new QHBoxLayout;
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
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(ShownFile())))
      ShowMessage(this, QStringLiteral("Nie można otworzyć pliku ") + ShownFile(), QStringLiteral("Błąd"),
                  MsgIcon::Error);
  });
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
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
  }
  Files->setCurrentIndex(first < 0 ? 0 : first);
  UpdateOpenButton();
}

QString TFreeTdsConfDlg::ShownFile() const { return FFiles[Files->currentIndex()]; }

void TFreeTdsConfDlg::UpdateOpenButton() { OpenButton->setEnabled(QFileInfo::exists(ShownFile())); }

void ShowFreeTdsConfiguration(TForm1& Form) {
  TFreeTdsConfDlg dialog(&Form);
  DialogSeam::Current().ExecDialog(&dialog);
}

}  // namespace vandrel::app::admin
