#pragma once
// TMExceptionDialog: shows an exception chain in a TFmMacErrorDetails window, topic by topic
// or (SingleDetails) all in one details text. It can stand as the application's exception
// handler (Used), and is the display that EMException::ShowExceptionNow uses in a host that
// links this library and assigns no exception handler of its own.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "foundation/MacError.h"

namespace vandrel {

class TMExceptionDialog : public QObject {
 public:
  // Raised before the window shows: the handler may move its centre or suppress it.
  using TMDlgShowEvent = std::function<void(TMExceptionDialog* Sender, int& XCenter, int& YCenter,
                                            const EMException* E, bool& ShowDialog)>;

  explicit TMExceptionDialog(QObject* Owner = nullptr);
  // A dialog that is the application's exception handler clears that handler first.
  ~TMExceptionDialog() override;

  TMDlgShowEvent OnDlgShow;
  bool SingleDetails = false;

  // Whether the application's exception event is this dialog's ExceptionHandler; writing
  // true installs it, writing false clears the application's exception event.
  bool GetUsed() const;
  void SetUsed(bool Value);

  // Shows a translated copy of E; nothing that goes wrong inside leaves this call.
  void ShowException(const Exception* E);
  void ExceptionHandler(TObject* Sender, const Exception* E);

  // The window's callback: fills one topic of the current exception (the dialog is the
  // context). Index is corrected into the chain, texts are cut to 255, 1023 and 8191
  // characters between whole characters.
  static void ShowSingleError(void* Dialog, int& Index, std::string& Title, unsigned& Flags,
                              std::string& Description, std::string& Message);

  // The copy being shown; null outside ShowException.
  const EMException* GetCurrentException() const { return FCurrent.get(); }

 private:
  std::unique_ptr<EMException> FCurrent;
};

}  // namespace vandrel
