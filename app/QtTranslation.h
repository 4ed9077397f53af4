#pragma once
// Qt's own texts (the standard buttons "Anuluj", "Tak", "Nie", the file chooser, the context
// menus of edit fields) in Polish, whatever the user's locale: the tool speaks Polish only.
class QCoreApplication;

namespace vandrel::app {

// Makes Polish Qt's default locale (the dates and day names Qt's widgets write) and installs
// Qt's Polish translation from Qt's translations folder; false when that is not installed
// there (Qt then keeps its English texts).
bool LoadQtTranslation(QCoreApplication& Application);

}  // namespace vandrel::app
