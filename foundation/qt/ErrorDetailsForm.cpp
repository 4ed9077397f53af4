#include "foundation/qt/ErrorDetailsForm.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace vandrel {

namespace {

constexpr int kClientWidth = 355;
constexpr int kDetailsTop = 104, kDetailsHeight = 145;
constexpr int kMoveTop = 256, kMoveHeight = 33;
constexpr int kGap = 8;

const char* const kDefaultCaptions[5] = {"&OK", "&Details", "No &details", "&Previous", "&Next"};

QStringList FiveCaptions(const QString& Text) {
  QStringList Lines = QString(Text).replace("\r\n", "\n").split('\n');
  while (Lines.size() > 5) Lines.removeLast();
  for (int I = static_cast<int>(Lines.size()); I < 5; ++I) Lines << QString::fromLatin1(kDefaultCaptions[I]);
  return Lines;
}

// A read-only text that the user reads but never tabs into.
QPlainTextEdit* TextBox(QWidget* Parent, QRect Bounds) {
  auto* Box = new QPlainTextEdit(Parent);
  Box->setGeometry(Bounds);
  Box->setReadOnly(true);
  Box->setFocusPolicy(Qt::NoFocus);
  return Box;
}

QPushButton* Button(QWidget* Parent, QRect Bounds, const char* Hint) {
  auto* B = new QPushButton(Parent);
  B->setGeometry(Bounds);
  B->setToolTip(QString::fromUtf8(Hint));
  B->setAutoDefault(false);
  return B;
}

QString FromUtf8(const std::string& Text) {
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size())).replace("\r\n", "\n");
}

}  // namespace

TFmMacErrorDetails::TFmMacErrorDetails(const QString& Captions, TMShowTopicCallback Callback, void* Context,
                                       QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      FCaptions(FiveCaptions(Captions)),
      FCallback(Callback),
      FContext(Context) {
  setObjectName(QStringLiteral("FmMacErrorDetails"));
  setWindowTitle(QString::fromUtf8("Wystąpił błąd"));
  setFixedSize(kClientWidth, kMoveTop + kMoveHeight + kGap);
  QFont Font(QStringLiteral("Arial"));
  Font.setPixelSize(12);
  setFont(Font);
  QPalette Colours = palette();
  Colours.setColor(QPalette::Window, Colours.color(QPalette::Button));
  setPalette(Colours);
  setAutoFillBackground(true);

  FMessage = TextBox(this, {48, 8, 297, 49});
  FMessage->setFrameShape(QFrame::NoFrame);
  FMessage->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette Plain = FMessage->palette();
  Plain.setColor(QPalette::Base, Colours.color(QPalette::Window));
  FMessage->setPalette(Plain);

  FOk = Button(this, {48, 64, 97, 33}, "Wyjście");
  FOk->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  FOk->setDefault(true);
  FPrevious = Button(this, {48, kMoveTop, 113, kMoveHeight}, "Przyczyna tego zdarzenia");
  FNext = Button(this, {192, kMoveTop, 113, kMoveHeight}, "Skutek tego zdarzenia");
  FDetails = Button(this, {176, 64, 129, 33}, "Pokaż / ukryj opis zdarzenia");
  FDescription = TextBox(this, {8, kDetailsTop, 337, kDetailsHeight});
  FDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTabOrder(FOk, FPrevious);
  setTabOrder(FPrevious, FNext);
  setTabOrder(FNext, FDetails);

  const QStyle::StandardPixmap Pictures[4] = {QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning,
                                              QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxQuestion};
  for (int I = 0; I < 4; ++I) {
    FIcons[I] = new QLabel(this);
    FIcons[I]->setGeometry(8, 16, 32, 32);
    FIcons[I]->setPixmap(style()->standardIcon(Pictures[I]).pixmap(32, 32));
    FIcons[I]->hide();
  }

  // The OK button is also the cancel button: Escape closes the window as OK does.
  connect(FOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(FPrevious, &QPushButton::clicked, this, [this] { Move(+1); });
  connect(FNext, &QPushButton::clicked, this, [this] { Move(-1); });
  connect(FDetails, &QPushButton::clicked, this, [this] {
    Details = !Details;
    ShowTopic();
  });
}

void TFmMacErrorDetails::Move(int Step) {
  TopicIndex += Step;
  ShowTopic();
}

void TFmMacErrorDetails::ShowTopic() {
  if (!Details) TopicIndex = 0;
  std::string Title, Description, Message;
  unsigned Flags = 0;
  FCallback(FContext, TopicIndex, Title, Flags, Description, Message);
  setWindowTitle(FromUtf8(Title));
  FMessage->setPlainText(FromUtf8(Message));
  FDescription->setPlainText(FromUtf8(Description));

  int Visible = 0;
  switch (Flags & kTopicIconMask) {
    case kTopicIconExclamation: Visible = 1; break;
    case kTopicIconInformation: Visible = 2; break;
    case kTopicIconQuestion: Visible = 3; break;
    default: Visible = 0; break;
  }
  for (int I = 0; I < 4; ++I) FIcons[I]->setVisible(I == Visible);

  FOk->setText(FCaptions[0]);
  FPrevious->setText(FCaptions[3]);
  FNext->setText(FCaptions[4]);
  const bool Moves = Details && (Flags & (kTopicHasCause | kTopicHasEffect)) != 0;
  FPrevious->setVisible(Moves);
  FNext->setVisible(Moves);
  FPrevious->setEnabled(Moves && (Flags & kTopicHasCause) != 0);
  FNext->setEnabled(Moves && (Flags & kTopicHasEffect) != 0);
  FDescription->setVisible(Details);
  FDetails->setText(FCaptions[Details ? 2 : 1]);
  const int Height = !Details ? kDetailsTop : Moves ? kMoveTop + kMoveHeight + kGap : kDetailsTop + kDetailsHeight + kGap;
  setFixedSize(kClientWidth, Height);
}

}  // namespace vandrel
