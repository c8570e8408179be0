// The program's translation, chosen by the user's locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
#pragma once

#include <QLocale>

class QCoreApplication;

namespace korvalen::i18n {

// Installs in `app` the program's translation for `locale` and, when the program has one, Qt's
// own for the same language (the standard buttons, the command line parser). English needs
// none. Returns whether a translation of the program was installed.
bool install(QCoreApplication& app, const QLocale& locale = QLocale::system());

} // namespace korvalen::i18n
