#pragma once
// TFmMacErrorDetails: the window of the error dialog, built entirely here. It shows one
// topic of an exception chain at a time: the message beside an icon, and on request a
// details panel with the topic's description and buttons that move to its cause and its
// effect. The topics come from a callback, so the window knows nothing of exceptions.
#include <QDialog>
#include <QStringList>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vandrel {

// Flag word of the callback: the topic has an effect before it, a cause after it; and the
// icon (masked with kTopicIconMask).
inline constexpr unsigned kTopicHasEffect = 0x1000000;
inline constexpr unsigned kTopicHasCause = 0x100000;
inline constexpr unsigned kTopicIconMask = 0x1111;
inline constexpr unsigned kTopicIconExclamation = 0x1;
inline constexpr unsigned kTopicIconInformation = 0x11;
inline constexpr unsigned kTopicIconQuestion = 0x10;

// Fills one topic: Index may be corrected; Flags leave as above.
using TMShowTopicCallback = void (*)(void* Context, int& Index, std::string& Title, unsigned& Flags,
                                     std::string& Description, std::string& Message);

class TFmMacErrorDetails : public QDialog {
 public:
  // Captions: five lines ("\r\n" or "\n" apart) for OK, details, no details, previous and
  // next; missing lines take the English defaults.
  TFmMacErrorDetails(const QString& Captions, TMShowTopicCallback Callback, void* Context,
                     QWidget* Parent = nullptr);

  // Shows topic TopicIndex (0 while the details are off) and lays the window out.
  void ShowTopic();

  int TopicIndex = 0;
  bool Details = false;

  QPlainTextEdit* MessageBox() const { return FMessage; }
  QPlainTextEdit* DetailsBox() const { return FDescription; }
  QPushButton* OkButton() const { return FOk; }
  QPushButton* PreviousButton() const { return FPrevious; }
  QPushButton* NextButton() const { return FNext; }
  QPushButton* DetailsButton() const { return FDetails; }
  // 0 stop, 1 exclamation, 2 information, 3 question.
  QLabel* Icon(int Kind) const { return FIcons[Kind]; }
  const QStringList& Captions() const { return FCaptions; }

 private:
  void Move(int Step);

  QStringList FCaptions;
  TMShowTopicCallback FCallback;
  void* FContext;
  QPlainTextEdit* FMessage;
  QPlainTextEdit* FDescription;
  QPushButton* FOk;
  QPushButton* FPrevious;
  QPushButton* FNext;
  QPushButton* FDetails;
  QLabel* FIcons[4];
};

}  // namespace vandrel
