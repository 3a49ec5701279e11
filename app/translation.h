// Qt's own Russian texts: message box buttons, file dialogs, command line help.
#pragma once

class QCoreApplication;

// Installs Qt's Russian translation from Qt's translations folder into the
// application. False when it is not there (Debian: qt6-translations-l10n);
// the texts then stay in English.
bool InstallQtRussianTranslation(QCoreApplication& application);
