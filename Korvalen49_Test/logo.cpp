#include "logo.h"

#include <QFileInfo>
#include <QString>
#include <QWidget>

namespace {

const QLatin1String kFormLogo("url(logo.bmp)");
const QLatin1String kBuiltInLogo("url(:/korvalen/logo.bmp)");

} // namespace

void findLogo(QWidget* logo) {
    if (QFileInfo::exists(QStringLiteral("logo.bmp"))) return;
    for (QWidget* w = logo; w != nullptr; w = w->parentWidget()) {
        QString sheet = w->styleSheet();
        if (!sheet.contains(kFormLogo)) continue;
        w->setStyleSheet(sheet.replace(kFormLogo, kBuiltInLogo));
        return;
    }
}
