#include "app/AboutBox.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/ExeVersion.h"
#include "app/DesktopOpener.h"

namespace vandrel::app {

TFmMPrintInfo* FmMPrintInfo = nullptr;

namespace {

QLabel* CentredLabel(QWidget* parent, const QString& text, QRect bounds, int pixelHeight) {
  auto* label = new QLabel(text, parent);
  QFont font("Arial");
  font.setPixelSize(pixelHeight);
  font.setBold(true);
  label->setFont(font);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  label->setGeometry(bounds);
  return label;
}

QPixmap ProgramPicture() {
  QPixmap picture(160, 77);
  picture.fill(QColor(0xF0, 0xF0, 0xF0));
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(40, 90, 160));
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 3; ++i) p.drawEllipse(QRectF(16 + i * 44, 10 + (i % 2) * 8, 40, 40));
  QFont font("Arial");
  font.setPixelSize(18);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(40, 90, 160));
  p.drawText(QRect(0, 52, 160, 24), Qt::AlignCenter, "Vandrel");
  return picture;
}

}  // namespace

TFmMPrintInfo::TFmMPrintInfo(QWidget* Parent, const TMExeVersion& Version) : QDialog(Parent) {
  setObjectName("FmMPrintInfo");
  setWindowTitle(QStringLiteral("Informacja o programie"));
  setFixedSize(401, 257);

  PanInfo = new QFrame(this);
  PanInfo->setFrameStyle(QFrame::Panel | QFrame::Raised);
  PanInfo->setLineWidth(2);
  PanInfo->setGeometry(8, 8, 385, 201);

  ProgramIcon = new QLabel(PanInfo);
  ProgramIcon->setPixmap(ProgramPicture());
  ProgramIcon->setGeometry(10, 20, 160, 77);

  Label1 = CentredLabel(PanInfo, QStringLiteral("Vandrel"), {176, 20, 201, 21}, 16);
  Label2 = CentredLabel(PanInfo, QStringLiteral("MSDE 2000"), {176, 45, 201, 21}, 16);
  LblWersja = CentredLabel(PanInfo, "Wersja " + QString::fromStdString(Version.GetFileVersion()),
                           {176, 70, 201, 16}, 13);
  LblAdres = CentredLabel(PanInfo, QStringLiteral("Quorvel sp. z o.o., ul. Kupiecka 12, 60-101 Poznań"),
                          {8, 136, 369, 16}, 13);
  LblTel = CentredLabel(PanInfo, QStringLiteral("tel. (61) 850 12 34, fax (61) 850 12 35"), {8, 154, 369, 16}, 13);
  LblWWW = CentredLabel(PanInfo, QStringLiteral("www.quorvel.pl"), {120, 172, 145, 16}, 13);
  QFont link = LblWWW->font();
  link.setUnderline(true);
  LblWWW->setFont(link);
  LblWWW->setStyleSheet("color: navy;");
  LblWWW->setCursor(Qt::PointingHandCursor);
  LblWWW->installEventFilter(this);

  BtnOK = new QPushButton(QStringLiteral("OK"), this);
  QFont buttonFont("Arial");
  buttonFont.setPixelSize(13);
  buttonFont.setBold(true);
  BtnOK->setFont(buttonFont);
  BtnOK->setGeometry(152, 216, 97, 33);
  BtnOK->setDefault(true);
  connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TFmMPrintInfo::LblWWWClick() { OpenOnDesktop(this, "http://" + LblWWW->text().toStdString()); }

bool TFmMPrintInfo::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == LblWWW && Event->type() == QEvent::MouseButtonRelease) LblWWWClick();
  return QDialog::eventFilter(Watched, Event);
}

}  // namespace vandrel::app
