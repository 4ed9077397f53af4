// Program entry: the application object, the forms created at start-up, the message loop.
#include <QApplication>
#include <cstdio>

#include "app/AboutBox.h"
#include "app/DialogSeam.h"
#include "app/Images.h"
#include "app/MainWindow.h"
#include "app/QtTranslation.h"
#include "app/demo/Demo.h"
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
      // An exception of no known kind has no text to show; the event is dropped and the
      // program goes on, as the framework's own display would let it.
    }
    return false;
  }
};

// `--demo`: the demo server and its private configuration, before the window connects. The
// demo lives until the end of main, after the window and its connection are gone.
std::unique_ptr<vandrel::app::demo::TDemo> StartDemo() {
  using namespace vandrel::app::demo;
  auto Demo = TDemo::Start(TDemoSite(), OwnProgramDirectory());
  std::fputs(Demo->Greeting().c_str(), stdout);
  std::fflush(stdout);
  return Demo;
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace vandrel::app;
  TApplication application(argc, argv);
  application.setApplicationName(QStringLiteral("Vandrel MSDE 2000"));
  LoadQtTranslation(application);
  application.setWindowIcon(ProgramIcon());
  QStringList arguments = application.arguments().mid(1);
  std::unique_ptr<demo::TDemo> demoSite;
  if (arguments.removeAll(QString::fromLatin1(demo::kDemoSwitch)) > 0) {
    try {
      demoSite = StartDemo();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      ShowMessage(nullptr, QString::fromUtf8(e.what()), QStringLiteral("Vandrel MSDE 2000"), MsgIcon::Error);
      return 1;
    }
  }
  // A client set-up the tool was stopped in is finished, or its temporaries removed (after the
  // demo, whose files are then the ones in question).
  vandrel::platform::RecoverClientSetup();
  try {
    auto form1 = std::make_unique<TForm1>();
    Form1 = form1.get();
    Form1->Arguments = arguments;
    auto about = std::make_unique<TFmMPrintInfo>(Form1, Form1->MExeVersion1);
    FmMPrintInfo = about.get();
    QObject::connect(Form1->Commands(TCommandId::cmAbout).first(), &QAction::triggered,
                     Form1, [] { DialogSeam::Current().ExecDialog(FmMPrintInfo); });
    Form1->showMaximized();
    application.exec();
    FmMPrintInfo = nullptr;
  } catch (const std::exception& e) {
    ShowMessage(nullptr, QString::fromUtf8(e.what()), QStringLiteral("Vandrel MSDE 2000"), MsgIcon::Error);
  }
  return 0;
}
