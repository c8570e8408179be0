// Readable failures for QCOMPARE on the preset values of core: "type/cc/chan/port/mode" and
// "status/prog/msb/lsb/chan/port/rangSta/rangEnd/oct/trans".
#pragma once

#include "presetprotocol.h"

#include <QByteArray>
#include <QtTest>

namespace korvalen {

inline char* toString(const AssignmentValues& v) {
    return qstrdup(QByteArray::number(v.type) + '/' + QByteArray::number(v.cc) + '/' +
                   QByteArray::number(v.chan) + '/' + QByteArray::number(v.port) + '/' +
                   QByteArray::number(v.mode));
}

inline char* toString(const ZoneValues& v) {
    QByteArray text;
    for (int f :
         {v.status, v.prog, v.msb, v.lsb, v.chan, v.port, v.rangSta, v.rangEnd, v.oct, v.trans})
        text += (text.isEmpty() ? "" : "/") + QByteArray::number(f);
    return qstrdup(text);
}

} // namespace korvalen
