#include "compare.h"
#include "clitext.h"

#include "coretext.h"
#include "device.h"
#include "midi.h"
#include "presets.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <optional>

namespace korvalen::cli {

namespace {

// A preset of the controller is named as PRESET is elsewhere ("P17", "p17", "16"); anything
// else is a file (a file called "P17" is given as "./P17").
std::optional<int> devicePresetOf(const QString& text) {
    return parsePresetName(text);
}

bool zoneChannelsCompared(const DiffSide& a, const DiffSide& b) {
    return a.stored.zoneChannelsKnown && b.stored.zoneChannelsKnown;
}

} // namespace

QString snapshotTime(const SnapshotInfo& info) {
    return info.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString differenceText(const DiffSide& a, const DiffSide& b,
                       const std::vector<ComparedField>& list) {
    QList<QStringList> rows;
    rows.append({QStringLiteral("control"), QStringLiteral("bank"), QStringLiteral("field"), a.name,
                 b.name});
    for (const ComparedField& d : list)
        rows.append({QString::fromStdString(d.control), QString::fromStdString(d.bank),
                     translated(d.label), translated(d.firstValue), translated(d.secondValue)});
    QString text;
    if (!list.empty()) {
        std::array<qsizetype, 5> width{};
        for (const QStringList& row : rows)
            for (int c = 0; c < 5; ++c)
                width[std::size_t(c)] = std::max(width[std::size_t(c)], row[c].size());
        for (const QStringList& row : rows) {
            QString line;
            for (int c = 0; c < 5; ++c)
                line += c == 4 ? row[c] : row[c].leftJustified(width[std::size_t(c)] + 2);
            text += line + QLatin1Char('\n');
        }
    }
    if (list.empty())
        text += CliText::tr("%1 and %2 are the same").arg(a.name, b.name);
    else
        text += CliText::tr("%1 difference(s)").arg(list.size());
    if (!zoneChannelsCompared(a, b))
        text += CliText::tr(" (the zones' channels not compared: a preset file holds none)");
    return text + QLatin1Char('\n');
}

QByteArray differenceJson(const DiffSide& a, const DiffSide& b,
                          const std::vector<ComparedField>& list) {
    QJsonArray differences;
    for (const ComparedField& d : list) {
        QJsonObject o;
        o[QStringLiteral("control")] = QString::fromStdString(d.control);
        o[QStringLiteral("bank")] =
            d.bank.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(d.bank));
        o[QStringLiteral("field")] = QString::fromStdString(d.name);
        o[QStringLiteral("first")] = QString::fromStdString(d.firstText);
        o[QStringLiteral("second")] = QString::fromStdString(d.secondText);
        o[QStringLiteral("raw")] = QJsonObject{{QStringLiteral("first"), int(d.first)},
                                               {QStringLiteral("second"), int(d.second)}};
        differences.append(o);
    }
    QJsonObject root;
    root[QStringLiteral("first")] = a.name;
    root[QStringLiteral("second")] = b.name;
    root[QStringLiteral("same")] = list.empty();
    root[QStringLiteral("zoneChannelsCompared")] = zoneChannelsCompared(a, b);
    root[QStringLiteral("differences")] = differences;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

Outcome diffCommand(const QString& port, const QString& first, const QString& second, bool json,
                    QTextStream& out, bool& differ) {
    differ = false;
    DiffSide sides[2] = {{first, {}}, {second, {}}};
    // The files first: a file that cannot be read fails before the controller is asked.
    bool needsDevice = false;
    for (DiffSide& side : sides) {
        if (devicePresetOf(side.name)) {
            needsDevice = true;
            continue;
        }
        if (isSyxPath(side.name)) { // SysEx carries the zones' channels itself
            side.stored = StoredPreset{};
            Outcome r =
                readPresetFile(side.name, side.stored.preset, &side.stored.zoneChannelsKnown);
            if (!r.ok()) return r;
            continue;
        }
        QString error;
        if (!readStoredPreset(side.name, side.stored, &error))
            return Outcome::fail(kBadFile, error);
    }
    if (needsDevice) {
        DeviceSession session(midiLink);
        if (Outcome r = session.connect(port); !r.ok()) return r;
        for (DiffSide& side : sides) {
            const auto number = devicePresetOf(side.name);
            if (!number) continue;
            if (Outcome r = session.upload(*number, side.stored.preset); !r.ok()) return r;
            side.stored.zoneChannelsKnown = true;
            side.name = shownPresetName(*number);
        }
    }
    const auto list = comparePresets(sides[0].stored.preset.values, sides[1].stored.preset.values,
                                     zoneChannelsCompared(sides[0], sides[1]));
    if (json)
        out << QString::fromUtf8(differenceJson(sides[0], sides[1], list));
    else
        out << differenceText(sides[0], sides[1], list);
    differ = !list.empty();
    return Outcome::done();
}

Outcome historyCommand(int number, bool json, QTextStream& out) {
    // Real controllers' snapshots first, then those of simulated ones; each the last taken first.
    const PresetHistory history;
    const QList<SnapshotInfo> list =
        history.list(number) + PresetHistory(history.folder(), true).list(number);
    if (json) {
        QJsonArray snapshots;
        for (const SnapshotInfo& info : list)
            snapshots.append(
                QJsonObject{{QStringLiteral("preset"), shownPresetName(info.presetNumber)},
                            {QStringLiteral("taken"), info.taken.toString(Qt::ISODate)},
                            {QStringLiteral("path"), QDir::toNativeSeparators(info.path)},
                            {QStringLiteral("simulated"), info.source.simulated},
                            {QStringLiteral("port"), info.source.port},
                            {QStringLiteral("backend"), info.source.api}});
        const QJsonObject root{
            {QStringLiteral("folder"), QDir::toNativeSeparators(history.folder())},
            {QStringLiteral("snapshots"), snapshots}};
        out << QString::fromUtf8(QJsonDocument(root).toJson());
        return Outcome::done();
    }
    if (list.isEmpty()) {
        const QString folder = QDir::toNativeSeparators(history.folder());
        out << (number < 0
                    ? CliText::tr("No snapshots in %1").arg(folder)
                    : CliText::tr("No snapshots of %1 in %2").arg(shownPresetName(number), folder))
            << '\n';
        return Outcome::done();
    }
    for (const SnapshotInfo& info : list)
        out << shownPresetName(info.presetNumber) << "  " << snapshotTime(info) << "  "
            << QDir::toNativeSeparators(info.path)
            << (info.source.simulated ? CliText::tr("  (simulated)") : QString()) << '\n';
    return Outcome::done();
}

} // namespace korvalen::cli
