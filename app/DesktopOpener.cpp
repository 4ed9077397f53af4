#include "app/DesktopOpener.h"

#include "app/DialogSeam.h"
#include "platform/WebAddress.h"

namespace vandrel::app {

bool OpenOnDesktop(QWidget* Parent, const std::string& Target) {
  if (platform::OpenWebAddress(Target)) return true;
  ShowMessage(Parent,
              QStringLiteral("Nie można otworzyć \"%1\": brak programu xdg-open, którym pulpit otwiera pliki i "
                             "adresy stron. Zainstaluj pakiet xdg-utils.")
                  .arg(QString::fromStdString(Target)),
              QStringLiteral("Błąd"), MsgIcon::Error);
  return false;
}

}  // namespace vandrel::app
