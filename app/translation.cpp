// Loading Qt's Russian translation at start.
#include "app/translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool InstallQtRussianTranslation(QCoreApplication& application) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(&application);
  // qt_ru gathers the modules' catalogues; qtbase_ru alone holds the widgets'.
  for (const char* name : {"qt_ru", "qtbase_ru"}) {
    if (translator->load(QString::fromLatin1(name), folder) &&
        QCoreApplication::installTranslator(translator)) {
      return true;
    }
  }
  delete translator;
  return false;
}
