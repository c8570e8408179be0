#include "translator.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace korvalen::i18n {

bool install(QCoreApplication& app, const QLocale& locale) {
    auto* own = new QTranslator(&app);
    if (!own->load(locale, QStringLiteral("korvalen25"), QStringLiteral("_"),
                   QStringLiteral(":/i18n"))) {
        delete own;
        return false;
    }
    QCoreApplication::installTranslator(own);
    // Qt's texts in the language found above, not in a first choice the program lacks.
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(own->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    return true;
}

} // namespace korvalen::i18n
