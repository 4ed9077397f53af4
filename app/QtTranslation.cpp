#include "app/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vandrel::app {

bool LoadQtTranslation(QCoreApplication& Application) {
  // Dates and names that Qt's widgets write themselves (the file chooser's columns) follow
  // Qt's default locale, not the translation.
  QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland));
  auto* translator = new QTranslator(&Application);
  if (!translator->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace vandrel::app
