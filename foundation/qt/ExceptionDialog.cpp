#include "foundation/qt/ExceptionDialog.h"

#include <QGuiApplication>
#include <QScreen>

#include "foundation/ApplicationEvents.h"
#include "foundation/Utf8.h"
#include "foundation/qt/ErrorDetailsForm.h"
#include "foundation/qt/ModalRun.h"

namespace vandrel {

namespace {

constexpr std::size_t kTitleChars = 255;
constexpr std::size_t kMessageChars = 1023;
constexpr std::size_t kDescriptionChars = 8191;

// The application's exception event when a dialog is its handler: Used recognises it.
struct TDialogHandler {
  TMExceptionDialog* Dialog;
  void operator()(TObject* Sender, const Exception* E) const { Dialog->ExceptionHandler(Sender, E); }
};

void CutToChars(std::string& Text, std::size_t Chars) { Text.resize(utf8::WholePrefix(Text, Chars)); }

unsigned IconFlags(TMacIconKind Icon) {
  switch (Icon) {
    case micWarning: return kTopicIconExclamation;
    case micInformation: return kTopicIconInformation;
    case micQuestion: return kTopicIconQuestion;
    default: return 0;
  }
}

// ShowExceptionNow's display in a host without an exception handler of its own.
void ShowInTemporaryDialog(const Exception* E) {
  TMExceptionDialog Dialog;
  Dialog.ShowException(E);
}

const bool kDisplayRegistered = [] {
  ApplicationEvents().DefaultDisplay = &ShowInTemporaryDialog;
  return true;
}();

}  // namespace

// Named in the library's link options, so that linking the library always brings this file
// and its registration above.
extern "C" const bool vandrel_exception_dialog_front = kDisplayRegistered;

TMExceptionDialog::TMExceptionDialog(QObject* Owner) : QObject(Owner) {}

TMExceptionDialog::~TMExceptionDialog() {
  if (GetUsed()) ApplicationEvents().OnException = nullptr;
}

bool TMExceptionDialog::GetUsed() const {
  const auto* Handler = ApplicationEvents().OnException.target<TDialogHandler>();
  return Handler && Handler->Dialog == this;
}

void TMExceptionDialog::SetUsed(bool Value) {
  if (Value)
    ApplicationEvents().OnException = TDialogHandler{this};
  else
    ApplicationEvents().OnException = nullptr;
}

void TMExceptionDialog::ExceptionHandler(TObject*, const Exception* E) { ShowException(E); }

void TMExceptionDialog::ShowException(const Exception* E) {
  FCurrent = EMException::ToEMException(E);
  try {
    if (!FCurrent) throw Exception("no exception");
    const QRect Screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect();
    int XCenter = Screen.width() / 2, YCenter = Screen.height() / 2;
    bool ShowDialog = !FCurrent->GetAborted();
    if (OnDlgShow) OnDlgShow(this, XCenter, YCenter, FCurrent.get(), ShowDialog);
    if (ShowDialog) {
      const QString Captions = QString::fromUtf8(EMException::Language == 1
                                                     ? "&OK\r\n&Details\r\nNo &details\r\n&Previous\r\n&Next"
                                                     : "&OK\r\n&Szczegóły\r\nBez &szczegółów\r\n&Poprzedni\r\n&Następny");
      TFmMacErrorDetails Form(Captions, &ShowSingleError, this);
      Form.move(XCenter - Form.width() / 2, YCenter - Form.height() / 2);
      Form.TopicIndex = 0;
      Form.Details = false;
      Form.ShowTopic();
      RunModal(&Form);
    }
  } catch (...) {
    // Whatever fails while an error is shown leaves nothing further for the user.
  }
  FCurrent.reset();
}

void TMExceptionDialog::ShowSingleError(void* Dialog, int& Index, std::string& Title, unsigned& Flags,
                                        std::string& Description, std::string& Message) {
  auto* Self = static_cast<TMExceptionDialog*>(Dialog);
  Flags = 0;
  Title.clear();
  Description.clear();
  Message.clear();
  const EMException* E = Self->FCurrent.get();
  if (!E) return;
  const int Count = E->GetTopicCount();
  if (Self->SingleDetails || Index < 0)
    Index = 0;
  else if (Index > Count - 1)
    Index = Count - 1;
  if (!Self->SingleDetails && Count > 1) {
    if (Index > 0) Flags |= kTopicHasEffect;
    if (Index < Count - 1) Flags |= kTopicHasCause;
  }
  const EMException* Topic = E->GetTopics(Index);
  Flags |= IconFlags(Topic->MacIcon());
  Title = Topic->GetTitle();
  CutToChars(Title, kTitleChars);
  Message = Topic->Message;
  CutToChars(Message, kMessageChars);
  Description = Topic->GetDescription();
  if (Self->SingleDetails)
    for (int I = 1; I < Count; ++I) {
      const EMException* Further = E->GetTopics(I);
      Description += "\r\n###\r\n[" + Further->GetTitle() + "]\r\n" + Further->Message + "\r\n(" +
                     Further->GetDescription() + ")";
      // A long chain need not be composed past the cut.
      if (Description.size() > 4 * kDescriptionChars) break;
    }
  CutToChars(Description, kDescriptionChars);
}

}  // namespace vandrel
