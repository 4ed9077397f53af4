// Program entry: the application object, the forms created at start-up, the message loop.
#include <QApplication>

#include "app/AboutBox.h"
#include "app/DialogSeam.h"
#include "app/Images.h"
#include "app/MainWindow.h"
#include "app/QtTranslation.h"
#include "foundation/Exception.h"
#include "platform/ClientSetupFiles.h"

namespace {

// The framework's standard exception display: an exception that escapes an event handler is
// shown by its message, and the program goes on.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* Receiver, QEvent* Event) override {
    try {
      return QApplication::notify(Receiver, Event);
    } catch (const vandrel::EAbort&) {
    } catch (const std::exception& e) {
      vandrel::app::ShowMessage(nullptr, QString::fromUtf8(e.what()), applicationName(),
                                vandrel::app::MsgIcon::Error);
    } catch (...) {
    }
    return false;
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  using namespace vandrel::app;
  TApplication application(argc, argv);
  application.setApplicationName(QStringLiteral("Vandrel MSDE 2000"));
  LoadQtTranslation(application);
  application.setWindowIcon(ProgramIcon());
  // A client set-up the tool was stopped in is finished, or its temporaries removed.
  vandrel::platform::RecoverClientSetup();
  try {
    auto form1 = std::make_unique<TForm1>();
    Form1 = form1.get();
    Form1->Arguments = application.arguments().mid(1);
    auto about = std::make_unique<TFmMPrintInfo>(Form1, Form1->MExeVersion1);
    FmMPrintInfo = about.get();
    QObject::connect(Form1->Commands(QStringLiteral("O programie...")).first(), &QAction::triggered,
                     Form1, [] { DialogSeam::Current().ExecDialog(FmMPrintInfo); });
    Form1->showMaximized();
    application.exec();
    FmMPrintInfo = nullptr;
  } catch (const std::exception& e) {
    ShowMessage(nullptr, QString::fromUtf8(e.what()), QStringLiteral("Vandrel MSDE 2000"), MsgIcon::Error);
  }
  return 0;
}
