#include "presethistory.h"

#include "coretext.h"
#include "midi.h"
#include "presetfile.h"
#include "presetsyx.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

QByteArray bytesOf(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// A file of a stored preset that could not be written, when the files there before are kept.
QString cannotWrite(const QString& path, const QString& why) {
    return QCoreApplication::translate(
               "PresetHistory", "cannot write \"%1\": %2; the files there before are unchanged")
        .arg(QDir::toNativeSeparators(path), why);
}

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (error)
        *error = QCoreApplication::translate("PresetHistory", "cannot write \"%1\": %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
}

void removeSnapshot(const QString& path) {
    QFile::remove(path); // first: without its preset file a snapshot is not listed
    QFile::remove(zoneChannelsPath(path));
    QFile::remove(snapshotDumpPath(path));
    QFile::remove(snapshotDescriptionPath(path));
}

QString baseOf(const QString& presetPath) {
    QString base = presetPath;
    if (base.endsWith(QLatin1String(".sav"), Qt::CaseInsensitive)) base.chop(4);
    return base;
}

// "Korvalen25:Korvalen25 128:0" without the client and port numbers ALSA adds.
QString withoutClientNumbers(QString port) {
    static const QRegularExpression numbers(QStringLiteral("\\s+\\d+:\\d+$"));
    port.remove(numbers);
    return port.trimmed();
}

} // namespace

// --- Preset files with their zone channels -------------------------------------------------

QString zoneChannelsPath(const QString& presetPath) {
    return baseOf(presetPath) + QStringLiteral(".zones.json");
}

QString snapshotDescriptionPath(const QString& presetPath) {
    return baseOf(presetPath) + QStringLiteral(".snapshot.json");
}

QString snapshotDumpPath(const QString& presetPath) {
    return baseOf(presetPath) + QStringLiteral(".syx");
}

bool writeStoredPreset(const QString& path, const Preset& preset, QString* error) {
    QJsonArray list;
    for (const ZoneValues& z : preset.values.zones)
        list.append(int(z.chan));
    const QByteArray json =
        QJsonDocument(QJsonObject{{QLatin1String(kZoneChannelsKey), list}}).toJson();
    const auto bytes = buildPresetFile(packPresetRecords(preset.values, preset.presetNumber));
    const QByteArray sav(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    // Both are written out before either replaces what was there: a failure up to here leaves
    // the old pair as it was.
    const QString channelsPath = zoneChannelsPath(path);
    QSaveFile channels(channelsPath);
    if (!channels.open(QIODevice::WriteOnly) || channels.write(json) != json.size()) {
        if (error) *error = cannotWrite(channelsPath, channels.errorString());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(sav) != sav.size() || !file.commit()) {
        if (error) *error = cannotWrite(path, file.errorString());
        return false;
    }
    if (!channels.commit()) {
        // The old channels must not go with the new preset.
        const bool removed = !QFile::exists(channelsPath) || QFile::remove(channelsPath);
        if (error)
            *error = removed
                         ? QCoreApplication::translate("PresetHistory",
                                                       "\"%1\" was written, but the zone channels "
                                                       "beside it could not be (%2)")
                               .arg(QDir::toNativeSeparators(path), channels.errorString())
                         : QCoreApplication::translate(
                               "PresetHistory",
                               "\"%1\" was written, but the zone channels beside it could "
                               "not be (%2); remove the old \"%3\" by hand")
                               .arg(QDir::toNativeSeparators(path), channels.errorString(),
                                    QDir::toNativeSeparators(channelsPath));
        return false;
    }
    return true;
}

bool removeStoredPreset(const QString& path, QString* error) {
    QFile file(path);
    if (file.exists() && !file.remove()) {
        if (error)
            *error = QCoreApplication::translate("PresetHistory", "cannot remove \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    QFile channels(zoneChannelsPath(path));
    if (channels.exists() && !channels.remove()) {
        if (error)
            *error =
                QCoreApplication::translate("PresetHistory", "cannot remove \"%1\": %2")
                    .arg(QDir::toNativeSeparators(channels.fileName()), channels.errorString());
        return false;
    }
    return true;
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
            *error = QCoreApplication::translate("PresetHistory", "cannot read \"%1\": %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    if (path.endsWith(QLatin1String(".syx"), Qt::CaseInsensitive)) {
        // SysEx of a preset, its zones' channels among its messages. A preset is a few
        // kilobytes: a far larger file is not read into memory.
        constexpr qint64 kLargestSyx = 64 * 1024;
        const QByteArray bytes = file.read(kLargestSyx + 1);
        if (bytes.size() > kLargestSyx) {
            if (error)
                *error =
                    QCoreApplication::translate("PresetHistory", "\"%1\" is not a preset: %2")
                        .arg(QDir::toNativeSeparators(path),
                             QCoreApplication::translate(
                                 "PresetHistory", "it is far larger than the SysEx of a preset"));
            return false;
        }
        const SyxPreset syx =
            readPresetSyx(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                          static_cast<std::size_t>(bytes.size()));
        if (!syx.ok) {
            if (error)
                *error = QCoreApplication::translate("PresetHistory", "\"%1\" is not a preset: %2")
                             .arg(QDir::toNativeSeparators(path), translated(syx.reason));
            return false;
        }
        stored = StoredPreset{syx.preset, true};
        return true;
    }
    const QByteArray bytes = file.read(kPresetFileSize);
    const auto contents = parsePresetFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
    if (contents.status != PresetFileStatus::Accepted) {
        if (error)
            *error = QCoreApplication::translate("PresetHistory",
                                                 "\"%1\" is not a Korvalen25 preset file")
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

// --- Where a snapshot came from -----------------------------------------------------------

SnapshotSource SnapshotSource::ofLink() {
    SnapshotSource source;
    const std::string& in = midiLink.controllerInputName();
    const std::string& out = midiLink.controllerOutputName();
    source.port = QString::fromStdString(in.empty() ? out : in);
    source.api = QString::fromStdString(midi::platform().apiName());
    source.simulated = isSimulated(source.api, source.port);
    const ControllerIdentity identity = ControllerIdentity::unpack(midiLink.controllerIdentity());
    if (identity.known) {
        source.identity = QStringLiteral("%1 %2")
                              .arg(int(identity.id[0]), 2, 16, QLatin1Char('0'))
                              .arg(int(identity.id[1]), 2, 16, QLatin1Char('0'))
                              .toUpper();
        source.firmware = identity.firmware;
    }
    return source;
}

bool SnapshotSource::isSimulated(const QString& api, const QString& port) {
    return api == QLatin1String("virtual") ||
           port.contains(QLatin1String("korvalen25-sim"), Qt::CaseInsensitive) ||
           port.contains(QLatin1String("simulated"), Qt::CaseInsensitive);
}

bool SnapshotSource::sameController(const SnapshotSource& other) const {
    if (!known() || !other.known()) return true;
    if (simulated != other.simulated) return false;
    if (!identity.isEmpty() && !other.identity.isEmpty()) return identity == other.identity;
    return withoutClientNumbers(port).compare(withoutClientNumbers(other.port),
                                              Qt::CaseInsensitive) == 0;
}

QString SnapshotSource::describe() const {
    if (!known()) return QCoreApplication::translate("PresetHistory", "an unknown controller");
    if (identity.isEmpty())
        return (simulated
                    ? QCoreApplication::translate("PresetHistory",
                                                  "the simulated controller \"%1\" (%2)")
                    : QCoreApplication::translate("PresetHistory", "the controller \"%1\" (%2)"))
            .arg(port, api);
    return (simulated ? QCoreApplication::translate(
                            "PresetHistory", "the simulated controller \"%1\" (%2, identity %3)")
                      : QCoreApplication::translate("PresetHistory",
                                                    "the controller \"%1\" (%2, identity %3)"))
        .arg(port, api, identity);
}

// --- Snapshots ------------------------------------------------------------------------------

bool presetFromDump(const std::vector<std::uint8_t>& dump, Preset& preset, int* wide) {
    preset = Preset{};
    if (wide) *wide = 0;
    auto noteWidth = [wide](int value) {
        if (wide && value > 0xFF) ++*wide;
    };
    std::array<unsigned char, kPresetGlobalsSize> globals{};
    std::size_t at = 0;
    while (at < dump.size()) {
        if (dump[at] != 0xF0) {
            ++at;
            continue;
        }
        const DumpRecordView r = readDumpRecord(dump.data() + at, dump.size() - at);
        if (r.what == DumpRecordView::What::Incomplete) return false;
        switch (r.what) {
        case DumpRecordView::What::Assignment:
            if (const auto c = controlForRecord(r.kind, r.number)) {
                AssignmentValues& a = assignmentOf(preset.values, *c);
                noteWidth(r.valueAsSent);
                a.cc = r.value;
                a.chan = r.chan;
                a.port = r.port;
                if (r.kind == control::kButtonKind) {
                    a.type = static_cast<std::uint8_t>(r.behaviour & 1);
                    a.mode = static_cast<std::uint8_t>(r.behaviour >> 1);
                }
            }
            break;
        case DumpRecordView::What::Globals:
            for (int i = 0; i < r.count && r.start + i < kPresetGlobalsSize; ++i) {
                noteWidth(r.valuesAsSent[std::size_t(i)]);
                globals[std::size_t(r.start + i)] = r.values[std::size_t(i)];
            }
            break;
        case DumpRecordView::What::End:
            for (int z = 0; z < 3; ++z)
                preset.values.zones[std::size_t(z)] = zoneFromGlobals(globals.data(), z);
            preset.presetNumber = globals[global::kPresetNumber];
            return true;
        default:
            break;
        }
        at += std::max<std::size_t>(r.length, 1);
    }
    return false;
}

bool readSnapshot(const SnapshotInfo& info, SnapshotContents& contents, QString* error) {
    contents = SnapshotContents{};
    if (info.dumpPath.isEmpty()) {
        StoredPreset stored;
        if (!readStoredPreset(info.path, stored, error)) return false;
        contents.preset = stored.preset;
        return true;
    }
    QFile file(info.dumpPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QCoreApplication::translate("PresetHistory", "cannot read \"%1\": %2")
                         .arg(QDir::toNativeSeparators(info.dumpPath), file.errorString());
        return false;
    }
    const QByteArray bytes = file.readAll();
    contents.dump.assign(bytes.begin(), bytes.end());
    if (!presetFromDump(contents.dump, contents.preset, &contents.wideValues)) {
        if (error)
            *error = QCoreApplication::translate("PresetHistory",
                                                 "\"%1\" is not a whole dump of a preset")
                         .arg(QDir::toNativeSeparators(info.dumpPath));
        return false;
    }
    contents.fromDump = true;
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

QString PresetHistory::simulatedFolder(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("simulated"));
}

PresetHistory::PresetHistory(QString folder, bool simulated)
    : base_(std::move(folder)), simulated_(simulated),
      folder_(simulated ? simulatedFolder(base_) : base_) {}

PresetHistory PresetHistory::of(const SnapshotSource& source, const QString& folder) {
    return PresetHistory(folder, source.simulated);
}

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

namespace {

QJsonObject readDescription(const QString& presetPath) {
    QFile file(snapshotDescriptionPath(presetPath));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.read(65536)).object();
}

// The number after the highest one in the folder: the order the snapshots were taken in, which
// no clock set back and no name can change.
qint64 nextOrder(const QDir& dir) {
    qint64 highest = 0;
    for (const QString& name : dir.entryList({QStringLiteral("*.snapshot.json")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        const qint64 order = qint64(QJsonDocument::fromJson(file.read(65536))
                                        .object()
                                        .value(QLatin1String("order"))
                                        .toDouble());
        highest = std::max(highest, order);
    }
    return highest + 1;
}

} // namespace

QString PresetHistory::store(const Preset& preset, int presetNumber, const QDateTime& taken,
                             QString* error, const std::vector<std::uint8_t>& dump,
                             const SnapshotSource& source) const {
    const QDir dir(folder_);
    if (!dir.mkpath(QStringLiteral("."))) {
        if (error)
            *error = QCoreApplication::translate("PresetHistory", "cannot create the folder \"%1\"")
                         .arg(QDir::toNativeSeparators(folder_));
        return {};
    }
    const QDateTime second = taken.addMSecs(-taken.time().msec());
    int sequence = 0;
    QString path = dir.filePath(fileName(presetNumber, second, sequence));
    while (QFileInfo::exists(path) || QFileInfo::exists(snapshotDescriptionPath(path)))
        path = dir.filePath(fileName(presetNumber, second, ++sequence));

    QJsonObject description{{QStringLiteral("preset"), presetNumber},
                            {QStringLiteral("taken"), second.toString(Qt::ISODate)},
                            {QStringLiteral("order"), double(nextOrder(dir))},
                            {QStringLiteral("port"), source.port},
                            {QStringLiteral("api"), source.api},
                            {QStringLiteral("simulated"), source.simulated}};
    if (!source.identity.isEmpty()) description.insert(QStringLiteral("identity"), source.identity);
    if (source.firmware >= 0) description.insert(QStringLiteral("firmware"), source.firmware);
    // The dump and the description first, the preset file last: a snapshot is listed by its
    // preset file, so one that could not be written whole is never seen.
    bool written = true;
    if (!dump.empty()) {
        description.insert(QStringLiteral("dump"), QFileInfo(snapshotDumpPath(path)).fileName());
        written = writeAtomically(snapshotDumpPath(path), bytesOf(dump), error);
    }
    written = written && writeAtomically(snapshotDescriptionPath(path),
                                         QJsonDocument(description).toJson(), error);
    written = written && writeStoredPreset(path, preset, error);
    if (!written) {
        removeSnapshot(path);
        return {};
    }
    const QList<SnapshotInfo> kept = list(presetNumber);
    qsizetype counted = 0;
    for (const SnapshotInfo& info : kept) {
        if (info.path == path) continue; // the one just written is always kept
        if (++counted >= kKeptPerPreset) removeSnapshot(info.path);
    }
    return path;
}

QList<SnapshotInfo> PresetHistory::list(int presetNumber) const {
    QList<SnapshotInfo> found;
    QHash<QString, QDateTime> modified;
    const QDir dir(folder_);
    const QString filter =
        presetNumber < 0
            ? QStringLiteral("P*.sav")
            : QStringLiteral("P%1-*.sav").arg(presetNumber + 1, 2, 10, QLatin1Char('0'));
    for (const QString& name : dir.entryList({filter}, QDir::Files)) {
        auto info = parseFileName(name);
        if (!info) continue;
        info->path = dir.filePath(name);
        const QJsonObject d = readDescription(info->path);
        info->order = qint64(d.value(QLatin1String("order")).toDouble());
        info->source.port = d.value(QLatin1String("port")).toString();
        info->source.api = d.value(QLatin1String("api")).toString();
        info->source.simulated = d.value(QLatin1String("simulated")).toBool();
        info->source.identity = d.value(QLatin1String("identity")).toString();
        info->source.firmware = d.value(QLatin1String("firmware")).toInt(-1);
        if (const QString dump = d.value(QLatin1String("dump")).toString(); !dump.isEmpty()) {
            const QString dumpPath = dir.filePath(QFileInfo(dump).fileName());
            if (QFileInfo::exists(dumpPath)) info->dumpPath = dumpPath;
        }
        modified.insert(info->path, QFileInfo(info->path).lastModified());
        found.append(*info);
    }
    // By the order taken; snapshots kept before there was an order come after those with one,
    // by the time their files were written.
    std::sort(found.begin(), found.end(),
              [&modified](const SnapshotInfo& a, const SnapshotInfo& b) {
                  if (a.order != b.order) return a.order > b.order;
                  const QDateTime ma = modified.value(a.path), mb = modified.value(b.path);
                  if (ma != mb) return ma > mb;
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

SnapshotResult keepSnapshot(const Preset& preset, const ReadResult& read, int presetNumber,
                            const SnapshotSource& source, const PresetHistory& history) {
    SnapshotResult result;
    result.read = read;
    result.preset = preset;
    result.path = PresetHistory::of(source, history.baseFolder())
                      .store(result.preset, presetNumber, QDateTime::currentDateTime(),
                             &result.writeError, read.dump, source);
    return result;
}

SnapshotResult takeSnapshot(PresetTransfer& transfer, int presetNumber,
                            const PresetHistory& history) {
    Preset read;
    const ReadResult r = transfer.readPreset(presetNumber, read);
    if (!SnapshotResult::keepable(r)) {
        SnapshotResult result;
        result.read = r;
        return result;
    }
    return keepSnapshot(read, r, presetNumber, SnapshotSource::ofLink(), history);
}

} // namespace korvalen
