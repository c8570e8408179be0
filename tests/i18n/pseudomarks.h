// What the pseudo-translation leaves unmarked: it wraps every translated text in "[~" and "~]".
#pragma once

#include <QRegularExpression>
#include <QString>

// The text with every marked part taken out, innermost first.
inline QString unmarkedPart(QString text) {
    static const QRegularExpression marked(QStringLiteral("\\[~((?!\\[~|~\\]).)*~\\]"),
                                           QRegularExpression::DotMatchesEverythingOption);
    for (QString before; before != text;) {
        before = text;
        text.remove(marked);
    }
    return text;
}
