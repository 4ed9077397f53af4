// The error dialog as a user meets it: a real window offscreen, driven through its buttons
// while it runs modally, over chains of one and three topics.
#include "foundation/qt/ExceptionDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include "foundation/ApplicationEvents.h"
#include "foundation/Utf8.h"
#include "foundation/qt/ErrorDetailsForm.h"
#include "foundation/qt/ModalRun.h"

namespace vandrel {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "foundation-qt-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// An error with every text chosen by the test.
class EMTestError : public EMException {
  VANDREL_CLASS(EMTestError, EMException)
 public:
  EMTestError(TMacIconKind Icon, AnsiString Code, AnsiString Description, const Exception* Inner = nullptr)
      : EMException(Inner), FIcon(Icon), FCode(std::move(Code)), FDescription(std::move(Description)) {
    AfterConstruction();
  }
  TMacIconKind MacIcon() const override { return FIcon; }
  AnsiString MacCode() const override { return FCode; }
  AnsiString MacMessage() const override { return "komunikat " + FCode; }
  AnsiString MacDescription() const override { return FDescription; }
  std::unique_ptr<EMException> Clone() const override { return std::make_unique<EMTestError>(FIcon, FCode, FDescription); }

 private:
  TMacIconKind FIcon;
  AnsiString FCode, FDescription;
};

// Outermost "A" (warning), its cause "B" (information), the innermost "C" (error).
EMTestError Chain() {
  const EMTestError Innermost(micError, "C", "opis C");
  const EMTestError Middle(micInformation, "B", "opis B", &Innermost);
  return EMTestError(micWarning, "A", "opis A", &Middle);
}

std::string Text(const QPlainTextEdit* Box) { return Box->toPlainText().toStdString(); }
int Shown(const TFmMacErrorDetails* Form) {
  for (int I = 0; I < 4; ++I)
    if (!Form->Icon(I)->isHidden()) return I;
  return -1;
}

class ExceptionDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    EMException::Language = 0;
    SetModalRunner([this](QDialog* D) {
      ++Runs;
      auto* Form = dynamic_cast<TFmMacErrorDetails*>(D);
      EXPECT_NE(Form, nullptr);
      if (Form && During) During(*Form);
      return int(QDialog::Accepted);
    });
  }
  void TearDown() override {
    SetModalRunner(nullptr);
    ApplicationEvents().OnException = nullptr;
  }
  std::function<void(TFmMacErrorDetails&)> During;
  int Runs = 0;
};

TEST_F(ExceptionDialogTest, ThreeTopicsWithDetailsMoveBetweenCauseAndEffect) {
  TMExceptionDialog Dialog;
  During = [&](TFmMacErrorDetails& Form) {
    EXPECT_EQ(Dialog.GetCurrentException()->GetTopicCount(), 3);
    // Details off: topic 0 only, no moves, the window as high as the details box's top.
    EXPECT_EQ(Form.windowTitle().toStdString(), "Uwaga");
    EXPECT_EQ(Text(Form.MessageBox()), "[A] komunikat A");
    EXPECT_EQ(Shown(&Form), 1);
    EXPECT_TRUE(Form.PreviousButton()->isHidden());
    EXPECT_TRUE(Form.DetailsBox()->isHidden());
    EXPECT_EQ(Form.DetailsButton()->text().toStdString(), "&Szczegóły");
    EXPECT_EQ(Form.size(), QSize(355, 104));

    QTest::mouseClick(Form.DetailsButton(), Qt::LeftButton);
    EXPECT_EQ(Form.size(), QSize(355, 297));
    EXPECT_EQ(Form.DetailsButton()->text().toStdString(), "Bez &szczegółów");
    EXPECT_FALSE(Form.DetailsBox()->isHidden());
    EXPECT_EQ(Text(Form.DetailsBox()), "opis A");
    EXPECT_TRUE(Form.PreviousButton()->isEnabled());
    EXPECT_FALSE(Form.NextButton()->isEnabled());
    EXPECT_FALSE(Form.NextButton()->isHidden());

    QTest::mouseClick(Form.PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(Form.TopicIndex, 1);
    EXPECT_EQ(Form.windowTitle().toStdString(), "Informacja");
    EXPECT_EQ(Shown(&Form), 2);
    EXPECT_TRUE(Form.PreviousButton()->isEnabled());
    EXPECT_TRUE(Form.NextButton()->isEnabled());

    QTest::mouseClick(Form.PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(Text(Form.MessageBox()), "[C] komunikat C");
    EXPECT_EQ(Text(Form.DetailsBox()), "opis C");
    EXPECT_EQ(Form.windowTitle().toStdString(), "Wystąpił błąd");
    EXPECT_EQ(Shown(&Form), 0);
    EXPECT_FALSE(Form.PreviousButton()->isEnabled());
    EXPECT_TRUE(Form.NextButton()->isEnabled());

    QTest::mouseClick(Form.NextButton(), Qt::LeftButton);
    EXPECT_EQ(Form.TopicIndex, 1);
    // Hiding the details goes back to the outermost topic.
    QTest::mouseClick(Form.DetailsButton(), Qt::LeftButton);
    EXPECT_EQ(Form.TopicIndex, 0);
    EXPECT_EQ(Form.size(), QSize(355, 104));
  };
  const EMTestError E = Chain();
  Dialog.ShowException(&E);
  EXPECT_EQ(Runs, 1);
  EXPECT_EQ(Dialog.GetCurrentException(), nullptr);
}

TEST_F(ExceptionDialogTest, SingleDetailsShowsTheWholeChainInOneText) {
  TMExceptionDialog Dialog;
  Dialog.SingleDetails = true;
  During = [&](TFmMacErrorDetails& Form) {
    QTest::mouseClick(Form.DetailsButton(), Qt::LeftButton);
    EXPECT_TRUE(Form.PreviousButton()->isHidden());
    EXPECT_TRUE(Form.NextButton()->isHidden());
    EXPECT_FALSE(Form.PreviousButton()->isEnabled());
    EXPECT_EQ(Form.size(), QSize(355, 257));
    EXPECT_EQ(Text(Form.DetailsBox()),
              "opis A\n###\n[Informacja]\n[B] komunikat B\n(opis B)\n###\n[Wystąpił błąd]\n[C] komunikat C\n(opis C)");
    // Any index asked for is topic 0, with no cause or effect.
    int Index = 2;
    std::string Title, Description, Message;
    unsigned Flags = 0;
    TMExceptionDialog::ShowSingleError(&Dialog, Index, Title, Flags, Description, Message);
    EXPECT_EQ(Index, 0);
    EXPECT_EQ(Flags, kTopicIconExclamation);
  };
  const EMTestError E = Chain();
  Dialog.ShowException(&E);
  EXPECT_EQ(Runs, 1);
}

// The callback's index rules and flags, and its cuts at 255, 1023 and 8191 characters,
// which never split a Polish letter.
TEST_F(ExceptionDialogTest, TopicsAreFilledWithIndexRulesFlagsAndWholeCharacterCuts) {
  TMExceptionDialog Dialog;
  During = [&](TFmMacErrorDetails&) {
    std::string Title, Description, Message;
    unsigned Flags = 0;
    int Index = -4;
    TMExceptionDialog::ShowSingleError(&Dialog, Index, Title, Flags, Description, Message);
    EXPECT_EQ(Index, 0);
    EXPECT_EQ(Flags, kTopicHasCause);  // an error topic adds no icon bits
    EXPECT_EQ(utf8::Length(Title), 255u);
    EXPECT_TRUE(utf8::IsValid(Title));
    EXPECT_EQ(utf8::Length(Message), 1023u);
    EXPECT_EQ(Message.substr(0, 5), "[ż] ");
    EXPECT_EQ(utf8::Length(Description), 8191u);
    EXPECT_TRUE(utf8::IsValid(Description));
    Index = 9;
    TMExceptionDialog::ShowSingleError(&Dialog, Index, Title, Flags, Description, Message);
    EXPECT_EQ(Index, 1);
    EXPECT_EQ(Flags, kTopicHasEffect | kTopicIconQuestion);
    EXPECT_EQ(Title, "Uwaga");
    EXPECT_EQ(Description, "");
  };
  // Every text of the outer topic is longer than its cut.
  class EMLongError : public EMException {
    VANDREL_CLASS(EMLongError, EMException)
   public:
    explicit EMLongError(const Exception* Inner) : EMException(Inner) { AfterConstruction(); }
    std::unique_ptr<EMException> Clone() const override { return std::make_unique<EMLongError>(nullptr); }
    AnsiString MacTitle() const override {
      std::string T;
      for (int I = 0; I < 300; ++I) T += "ł";
      return T;
    }
    AnsiString MacCode() const override { return "ż"; }
    AnsiString MacMessage() const override { return std::string(2000, 'x'); }
    AnsiString MacDescription() const override {
      std::string D;
      for (int I = 0; I < 5000; ++I) D += "ąb";
      return D;
    }
  };
  const EMTestError Cause(micQuestion, "Q", "");
  const EMLongError E(&Cause);
  Dialog.ShowException(&E);
  EXPECT_EQ(Runs, 1);
}

// The window as built: bounds, captions, hints, tab order, the one visible icon, the font.
TEST_F(ExceptionDialogTest, TheWindowIsBuiltWithItsBoundsCaptionsAndTabOrder) {
  TMExceptionDialog Dialog;
  EMException::Language = 1;
  During = [&](TFmMacErrorDetails& Form) {
    EXPECT_EQ(Form.MessageBox()->geometry(), QRect(48, 8, 297, 49));
    EXPECT_EQ(Form.OkButton()->geometry(), QRect(48, 64, 97, 33));
    EXPECT_EQ(Form.PreviousButton()->geometry(), QRect(48, 256, 113, 33));
    EXPECT_EQ(Form.NextButton()->geometry(), QRect(192, 256, 113, 33));
    EXPECT_EQ(Form.DetailsButton()->geometry(), QRect(176, 64, 129, 33));
    EXPECT_EQ(Form.DetailsBox()->geometry(), QRect(8, 104, 337, 145));
    for (int I = 0; I < 4; ++I) EXPECT_EQ(Form.Icon(I)->geometry(), QRect(8, 16, 32, 32));
    EXPECT_EQ(Form.OkButton()->text().toStdString(), "&OK");
    EXPECT_EQ(Form.DetailsButton()->text().toStdString(), "&Details");
    EXPECT_EQ(Form.PreviousButton()->text().toStdString(), "&Previous");
    EXPECT_EQ(Form.NextButton()->text().toStdString(), "&Next");
    EXPECT_EQ(Form.OkButton()->toolTip().toStdString(), "Wyjście");
    EXPECT_EQ(Form.PreviousButton()->toolTip().toStdString(), "Przyczyna tego zdarzenia");
    EXPECT_EQ(Form.NextButton()->toolTip().toStdString(), "Skutek tego zdarzenia");
    EXPECT_EQ(Form.DetailsButton()->toolTip().toStdString(), "Pokaż / ukryj opis zdarzenia");
    EXPECT_TRUE(Form.OkButton()->isDefault());
    EXPECT_FALSE(Form.OkButton()->icon().isNull());
    EXPECT_EQ(Form.OkButton()->nextInFocusChain(), Form.PreviousButton());
    EXPECT_EQ(Form.PreviousButton()->nextInFocusChain(), Form.NextButton());
    EXPECT_EQ(Form.NextButton()->nextInFocusChain(), Form.DetailsButton());
    EXPECT_EQ(Form.MessageBox()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Form.DetailsBox()->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(Form.MessageBox()->isReadOnly());
    EXPECT_EQ(Form.DetailsBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(Form.font().family().toStdString(), "Arial");
    EXPECT_EQ(Form.font().pixelSize(), 12);
    EXPECT_FALSE(Form.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(Form.windowTitle().toStdString(), "Error");
    EXPECT_EQ(Shown(&Form), 0);
    const QImage Stop = Form.Icon(0)->pixmap().toImage();
    EXPECT_EQ(Stop, Form.style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32).toImage());
    // Escape closes the window as OK does.
    QTest::keyClick(&Form, Qt::Key_Escape);
  };
  const EMTestError E(micError, "E", "");
  Dialog.ShowException(&E);
  EXPECT_EQ(Runs, 1);
}

// Fewer than five caption lines take the English defaults for the missing ones.
TEST_F(ExceptionDialogTest, MissingCaptionLinesTakeTheDefaults) {
  auto Callback = [](void*, int&, std::string&, unsigned&, std::string&, std::string&) {};
  TFmMacErrorDetails Form(QStringLiteral("&Dobrze\r\n&Więcej"), Callback, nullptr);
  EXPECT_EQ(Form.Captions(), (QStringList{"&Dobrze", "&Więcej", "No &details", "&Previous", "&Next"}));
  EXPECT_EQ(Form.windowTitle().toStdString(), "Wystąpił błąd");
}

TEST_F(ExceptionDialogTest, OnDlgShowMovesTheCentreOrSuppressesTheWindow) {
  TMExceptionDialog Dialog;
  QPoint Centre;
  During = [&](TFmMacErrorDetails& Form) { Centre = Form.geometry().center(); };
  Dialog.OnDlgShow = [](TMExceptionDialog*, int& X, int& Y, const EMException* E, bool& Show) {
    EXPECT_EQ(E->Message, "[E] komunikat E");
    EXPECT_TRUE(Show);
    X = 300;
    Y = 400;
  };
  const EMTestError E(micError, "E", "");
  Dialog.ShowException(&E);
  ASSERT_EQ(Runs, 1);
  // Placed by its initial size (355 x 297); the topic then shrinks it from the bottom.
  EXPECT_EQ(Centre.x(), 300 - 355 / 2 + 355 / 2);
  EXPECT_NEAR(Centre.y(), 400 - 297 / 2 + 104 / 2, 1);

  Dialog.OnDlgShow = [](TMExceptionDialog*, int&, int&, const EMException*, bool& Show) { Show = false; };
  Dialog.ShowException(&E);
  EXPECT_EQ(Runs, 1);

  // The silent abort is not shown, unless the handler asks for it.
  Dialog.OnDlgShow = nullptr;
  const EAbort Abort("przerwano");
  Dialog.ShowException(&Abort);
  EXPECT_EQ(Runs, 1);
  Dialog.OnDlgShow = [](TMExceptionDialog*, int&, int&, const EMException* E, bool& Show) {
    EXPECT_TRUE(E->GetAborted());
    Show = true;
  };
  Dialog.ShowException(&Abort);
  EXPECT_EQ(Runs, 2);
}

TEST_F(ExceptionDialogTest, FailuresInsideTheDialogAreSwallowed) {
  TMExceptionDialog Dialog;
  During = [](TFmMacErrorDetails&) { throw Exception("rysowanie"); };
  const EMTestError E(micError, "E", "");
  EXPECT_NO_THROW(Dialog.ShowException(&E));
  EXPECT_EQ(Dialog.GetCurrentException(), nullptr);
  Dialog.OnDlgShow = [](TMExceptionDialog*, int&, int&, const EMException*, bool&) { throw Exception("zdarzenie"); };
  EXPECT_NO_THROW(Dialog.ShowException(&E));
  EXPECT_NO_THROW(Dialog.ShowException(nullptr));
  EXPECT_EQ(Runs, 1);
}

// Used installs the dialog as the application's exception handler, which ShowNow then
// reaches; without a handler ShowNow shows a temporary dialog. A dialog destroyed while it
// is the handler leaves no handler behind.
TEST_F(ExceptionDialogTest, UsedMakesTheDialogTheApplicationsHandler) {
  const EMTestError E(micError, "E", "");
  E.ShowNow();
  EXPECT_EQ(Runs, 1);
  {
    TMExceptionDialog Dialog;
    EXPECT_FALSE(Dialog.GetUsed());
    Dialog.SetUsed(true);
    EXPECT_TRUE(Dialog.GetUsed());
    TMExceptionDialog Other;
    EXPECT_FALSE(Other.GetUsed());
    Dialog.SingleDetails = true;
    During = [&](TFmMacErrorDetails&) { EXPECT_EQ(Dialog.GetCurrentException()->Message, "[E] komunikat E"); };
    E.ShowNow();
    EXPECT_EQ(Runs, 2);
    Other.SetUsed(false);
    EXPECT_FALSE(Dialog.GetUsed());
    Dialog.SetUsed(true);
  }
  EXPECT_FALSE(ApplicationEvents().OnException);
  During = nullptr;
  E.ShowNow();
  EXPECT_EQ(Runs, 3);
}

}  // namespace
}  // namespace vandrel
