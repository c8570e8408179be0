#include "coretext.h"

#include <QCoreApplication>

namespace korvalen {

namespace {

QString argument(const TextArg& arg) {
    switch (arg.kind) {
    case TextArg::Kind::Number:
        return QString::number(arg.number);
    case TextArg::Kind::Data:
        return QString::fromStdString(arg.data);
    case TextArg::Kind::Nested:
        break;
    }
    return arg.nested ? translated(*arg.nested) : QString();
}

} // namespace

QString translated(const Text& text) {
    if (text.empty()) return {};
    const int n = text.count >= 0 ? static_cast<int>(text.count) : -1;
    QString format = text.context == nullptr
                         ? QString::fromUtf8(text.format)
                         : QCoreApplication::translate(text.context, text.format, nullptr, n);
    if (text.context == nullptr && n >= 0) format.replace(QStringLiteral("%n"), QString::number(n));
    // The arguments go in all at once, so that a "%2" inside an argument stays as it is.
    QStringList args;
    args.reserve(static_cast<qsizetype>(text.args.size()));
    for (const TextArg& arg : text.args)
        args << argument(arg);
    QString out;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const int index = format.at(i + 1).digitValue() - 1;
            if (index >= 0 && index < args.size()) {
                out += args.at(index);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace korvalen
