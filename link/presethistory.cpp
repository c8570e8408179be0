#include "presethistory.h"

#include "presetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace korvalen {

namespace {

const char* const kZoneChannelsKey = "zoneChannels";

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = QStringLiteral("cannot write \"%1\": %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
}

void removeSnapshot(const QString& path) {
    QFile::remove(zoneChannelsPath(path));
    QFile::remove(path);
}

} // namespace

// --- Preset files with their zone channels -------------------------------------------------

QString zoneChannelsPath(const QString& presetPath) {
    QString base = presetPath;
    if (base.endsWith(QLatin1String(".sav"), Qt::CaseInsensitive)) base.chop(4);
    return base + QStringLiteral(".zones.json");
}

bool writeStoredPreset(const QString& path, const Preset& preset, QString* error) {
    QJsonArray channels;
    for (const ZoneValues& z : preset.values.zones)
        channels.append(int(z.chan));
    const QByteArray json =
        QJsonDocument(QJsonObject{{QLatin1String(kZoneChannelsKey), channels}}).toJson();
    // The channels first: a preset file is never there without the channels that go with it.
    if (!writeAtomically(zoneChannelsPath(path), json, error)) return false;
    const auto bytes = buildPresetFile(packPresetRecords(preset.values, preset.presetNumber));
    return writeAtomically(
        path, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
        error);
}

std::optional<std::array<std::uint8_t, 3>> readZoneChannels(const QString& presetPath) {
    QFile file(zoneChannelsPath(presetPath));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonArray list = QJsonDocument::fromJson(file.read(4096))
                                .object()
                                .value(QLatin1String(kZoneChannelsKey))
                                .toArray();
    if (list.size() != 3) return std::nullopt;
    std::array<std::uint8_t, 3> channels{};
    for (int z = 0; z < 3; ++z) {
        const int c = list[z].toInt(-1);
        if (c < 0 || c > kMaxChannel) return std::nullopt;
        channels[std::size_t(z)] = static_cast<std::uint8_t>(c);
    }
    return channels;
}

bool readStoredPreset(const QString& path, StoredPreset& stored, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    const QByteArray bytes = file.read(kPresetFileSize);
    const auto contents = parsePresetFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
    if (contents.status != PresetFileStatus::Accepted) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a Korvalen25 preset file")
                         .arg(QDir::toNativeSeparators(path));
        return false;
    }
    stored = StoredPreset{};
    unpackPresetRecords(contents.records, stored.preset.values, stored.preset.presetNumber);
    if (const auto channels = readZoneChannels(path)) {
        for (int z = 0; z < 3; ++z)
            stored.preset.values.zones[std::size_t(z)].chan = (*channels)[std::size_t(z)];
        stored.zoneChannelsKnown = true;
    }
    return true;
}

// --- The history folder --------------------------------------------------------------------

QString PresetHistory::defaultFolder() {
    const QString set = qEnvironmentVariable("KORVALEN_HISTORY_DIR");
    if (!set.isEmpty()) return set;
    // One folder for the editor and korvalen25-cli, whose application names differ.
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("korvalen25/history"));
}

PresetHistory::PresetHistory(QString folder) : folder_(std::move(folder)) {}

QString PresetHistory::fileName(int presetNumber, const QDateTime& taken, int sequence) {
    QString name = QStringLiteral("P%1-%2")
                       .arg(presetNumber + 1, 2, 10, QLatin1Char('0'))
                       .arg(taken.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    if (sequence > 0) name += QStringLiteral("-%1").arg(sequence);
    return name + QStringLiteral(".sav");
}

std::optional<SnapshotInfo> PresetHistory::parseFileName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^P(\\d\\d)-(\\d{8}-\\d{6})(?:-(\\d{1,4}))?\\.sav$"));
    const auto m = pattern.match(name);
    if (!m.hasMatch()) return std::nullopt;
    SnapshotInfo info;
    info.presetNumber = m.captured(1).toInt() - 1;
    info.taken = QDateTime::fromString(m.captured(2), QStringLiteral("yyyyMMdd-HHmmss"));
    info.sequence = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
    if (!info.taken.isValid()) return std::nullopt;
    return info;
}

QString PresetHistory::store(const Preset& preset, int presetNumber, const QDateTime& taken,
                             QString* error) const {
    const QDir dir(folder_);
    if (!dir.mkpath(QStringLiteral("."))) {
        if (error)
            *error = QStringLiteral("cannot create the folder \"%1\"")
                         .arg(QDir::toNativeSeparators(folder_));
        return {};
    }
    const QDateTime second = taken.addMSecs(-taken.time().msec());
    int sequence = 0;
    QString path = dir.filePath(fileName(presetNumber, second, sequence));
    while (QFileInfo::exists(path))
        path = dir.filePath(fileName(presetNumber, second, ++sequence));
    if (!writeStoredPreset(path, preset, error)) {
        QFile::remove(zoneChannelsPath(path));
        return {};
    }
    const QList<SnapshotInfo> kept = list(presetNumber);
    for (qsizetype i = kKeptPerPreset; i < kept.size(); ++i)
        removeSnapshot(kept[i].path);
    return path;
}

QList<SnapshotInfo> PresetHistory::list(int presetNumber) const {
    QList<SnapshotInfo> found;
    const QDir dir(folder_);
    const QString filter =
        presetNumber < 0
            ? QStringLiteral("P*.sav")
            : QStringLiteral("P%1-*.sav").arg(presetNumber + 1, 2, 10, QLatin1Char('0'));
    for (const QString& name : dir.entryList({filter}, QDir::Files)) {
        auto info = parseFileName(name);
        if (!info) continue;
        info->path = dir.filePath(name);
        found.append(*info);
    }
    std::sort(found.begin(), found.end(), [](const SnapshotInfo& a, const SnapshotInfo& b) {
        if (a.taken != b.taken) return a.taken > b.taken;
        if (a.sequence != b.sequence) return a.sequence > b.sequence;
        return a.presetNumber < b.presetNumber;
    });
    return found;
}

std::optional<SnapshotInfo> PresetHistory::latest(int presetNumber) const {
    const QList<SnapshotInfo> all = list(presetNumber);
    if (all.isEmpty()) return std::nullopt;
    return all.front();
}

// --- The step before a write ---------------------------------------------------------------

SnapshotResult keepSnapshot(const Preset& preset, int presetNumber, const PresetHistory& history) {
    SnapshotResult result;
    result.preset = preset;
    result.path = history.store(result.preset, presetNumber, QDateTime::currentDateTime(),
                                &result.writeError);
    return result;
}

SnapshotResult takeSnapshot(PresetTransfer& transfer, int presetNumber,
                            const PresetHistory& history) {
    Preset read;
    const ReadResult r = transfer.readPreset(presetNumber, read);
    if (!r.ok()) {
        SnapshotResult result;
        result.read = r;
        return result;
    }
    return keepSnapshot(read, presetNumber, history);
}

} // namespace korvalen
