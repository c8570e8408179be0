#include "presets.h"
#include "clitext.h"

#include "coretext.h"
#include "nametables.h"
#include "presethistory.h"
#include "presetsyx.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <functional>

namespace korvalen::cli {

// --- Names -----------------------------------------------------------------------------------

std::optional<int> parsePresetName(const QString& text) {
    static const QRegularExpression shown(QStringLiteral("^[Pp](\\d\\d)$"));
    static const QRegularExpression number(QStringLiteral("^\\d{1,2}$"));
    int n = -1;
    if (const auto m = shown.match(text); m.hasMatch())
        n = m.captured(1).toInt() - 1;
    else if (number.match(text).hasMatch())
        n = text.toInt();
    if (presetNameFor(n) == nullptr) return std::nullopt;
    return n;
}

QString shownPresetName(int number) {
    return QString::asprintf("P%02d", number + 1);
}

QString backupFileName(int number, bool syx) {
    return shownPresetName(number) + (syx ? QStringLiteral(".syx") : QStringLiteral(".sav"));
}

bool isSyxPath(const QString& path) {
    return path.endsWith(QStringLiteral(".syx"), Qt::CaseInsensitive);
}

// --- Bounds ----------------------------------------------------------------------------------

namespace {

// One zone field: its names, where it is, its bound and how the editor shows it.
struct ZoneField {
    const char* name;  // the raw value's JSON key, and its name in messages
    const char* key;   // the shown value's JSON key
    const char* label; // text label
    std::uint8_t ZoneValues::*value;
    std::uint8_t max;
    std::function<QString(int)> text;
    std::function<QJsonValue(int)> shown; // the value as the editor shows it, for JSON
    bool plain = false; // the editor shows the number itself: JSON gives no text beside it
};

QString offsetText(int value, int midpoint) {
    if (value < midpoint) return QStringLiteral("- %1").arg(midpoint - value);
    return QString::number(value - midpoint);
}

QString channelText(int chan) {
    return chan == kMaxChannel ? QStringLiteral("--") : QStringLiteral("Ch%1").arg(chan + 1);
}

QString portText(int port) {
    return port == kMaxPort ? QStringLiteral("--") : QStringLiteral("P%1").arg(port + 1);
}

// Channels 1-16 and ports 1-5 as numbers; null for the last entry, "--" (none).
QJsonValue countedFromOne(int value, int none) {
    return value == none ? QJsonValue() : QJsonValue(value + 1);
}

const std::array<ZoneField, 9>& zoneFields() {
    const auto number = [](int v) { return QString::number(v); };
    const auto same = [](int v) { return QJsonValue(v); };
    static const std::array<ZoneField, 9> fields = {{
        {"status", "on", "", &ZoneValues::status, kMaxZoneStatus,
         [](int v) { return v == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"); },
         [](int v) { return QJsonValue(v == 1); }},
        {"program", "program", "program", &ZoneValues::prog, kMaxZoneByte,
         [](int v) { return QString::fromStdString(programListEntry(v)); }, same},
        {"msb", "msb", "bank MSB", &ZoneValues::msb, kMaxZoneByte, number, same, true},
        {"lsb", "lsb", "LSB", &ZoneValues::lsb, kMaxZoneByte, number, same, true},
        {"port", "port", "port", &ZoneValues::port, kMaxPort, portText,
         [](int v) { return countedFromOne(v, kMaxPort); }},
        {"rangeStart", "rangeStart", "keys", &ZoneValues::rangSta, kMaxZoneByte, number, same,
         true},
        {"rangeEnd", "rangeEnd", "to", &ZoneValues::rangEnd, kMaxZoneByte, number, same, true},
        {"octave", "octave", "octave", &ZoneValues::oct, kMaxOctave,
         [](int v) { return offsetText(v, kOctaveZero); },
         [](int v) { return QJsonValue(v - kOctaveZero); }},
        {"transpose", "transpose", "transpose", &ZoneValues::trans, kMaxTranspose,
         [](int v) { return offsetText(v, kTransposeZero); },
         [](int v) { return QJsonValue(v - kTransposeZero); }},
    }};
    return fields;
}

} // namespace

// --- The controls in the editor's order --------------------------------------------------------

namespace {

enum class Panel { Encoder, Button }; // the boxes a control's panel has

struct ControlView {
    QString group;   // JSON array
    QString heading; // text heading of its bank or group
    QString bank;    // "BANK 1", "A", or empty
    QString name;    // "E1", "F4", "P2", "REW", "S1"
    Panel panel;
    const AssignmentValues* values;
};

const char* const kTransportNames[5] = {"REW", "FF", "STOP", "PLAY", "REC"};

std::vector<ControlView> controlsOf(const PresetValues& v) {
    std::vector<ControlView> list;
    for (int b = 0; b < 4; ++b) {
        const QString bank = QStringLiteral("BANK %1").arg(b + 1);
        for (int k = 0; k < 8; ++k)
            list.push_back({QStringLiteral("encoders"), CliText::tr("Encoders, %1").arg(bank), bank,
                            QStringLiteral("E%1").arg(k + 1), Panel::Encoder,
                            &v.encoders[8 * b + k]});
        for (int k = 0; k < 4; ++k)
            list.push_back(
                {QStringLiteral("functionButtons"), CliText::tr("Function buttons, %1").arg(bank),
                 bank, QStringLiteral("F%1").arg(k + 1), Panel::Button, &v.functions[4 * b + k]});
    }
    for (int b = 0; b < 2; ++b) {
        const QString bank = b == 0 ? QStringLiteral("A") : QStringLiteral("B");
        for (int k = 0; k < 4; ++k)
            list.push_back({QStringLiteral("pads"), CliText::tr("Pads, bank %1").arg(bank), bank,
                            QStringLiteral("P%1").arg(k + 1), Panel::Button, &v.pads[4 * b + k]});
    }
    for (int k = 0; k < 5; ++k)
        list.push_back({QStringLiteral("transport"), QStringLiteral("Transport"), QString(),
                        QString::fromLatin1(kTransportNames[k]), Panel::Button, &v.transport[k]});
    list.push_back({QStringLiteral("slider"), QStringLiteral("Slider"), QString(),
                    QStringLiteral("S1"), Panel::Encoder, &v.slider});
    return list;
}

// The texts of the editor's boxes; empty for a value that has no entry.
QString numberText(const ControlView& c) {
    const AssignmentValues& a = *c.values;
    if (c.panel == Panel::Button && a.type == 1)
        return a.cc <= kMaxNote ? QString::fromStdString(noteListEntry(a.cc)) : QString();
    return a.cc <= kMaxAssignment ? QString::fromStdString(controlListEntry(a.cc)) : QString();
}

QString typeText(int type) {
    return type == 0 ? QStringLiteral("Control") : type == 1 ? QStringLiteral("Note") : QString();
}

QString modeText(int mode) {
    return mode == 0   ? QStringLiteral("toggle")
           : mode == 1 ? QStringLiteral("momentary")
                       : QString();
}

QString bounded(int value, int max, const std::function<QString(int)>& text) {
    return value <= max ? text(value) : QString();
}

// A text for the readable form: the entry, or the raw value marked as outside the list.
QString shown(const QString& text, int value) {
    return text.isEmpty() ? CliText::tr("%1 (out of range)").arg(value) : text;
}

QString zoneCaptionText(int z, const ZoneValues& zone) {
    if (zone.status == 1 && zone.prog > 127) return QStringLiteral("Zone%1:").arg(z + 1);
    return QString::fromStdString(zoneCaption(z, zone.status, zone.prog));
}

} // namespace

QStringList outOfRangeFields(const Preset& preset) {
    QStringList faults;
    for (const ControlView& c : controlsOf(preset.values)) {
        const QString where = c.bank.isEmpty() ? c.name : c.name + QStringLiteral(", ") + c.bank;
        const AssignmentValues& a = *c.values;
        const struct {
            AssignmentField field;
            const char* name;
            std::uint8_t value;
        } fields[] = {{AssignmentField::Type, "type", a.type},
                      {AssignmentField::CC, "number", a.cc},
                      {AssignmentField::Chan, "channel", a.chan},
                      {AssignmentField::Port, "port", a.port},
                      {AssignmentField::Mode, "mode", a.mode}};
        for (const auto& f : fields)
            if (!assignmentFieldInRange(f.field, f.value))
                faults
                    << QStringLiteral("%1: %2 %3").arg(where, QLatin1String(f.name)).arg(f.value);
    }
    for (int z = 0; z < 3; ++z)
        for (const ZoneField& f : zoneFields()) {
            const int value = preset.values.zones[z].*f.value;
            if (value > f.max)
                faults << QStringLiteral("Zone%1: %2 %3")
                              .arg(z + 1)
                              .arg(QLatin1String(f.name))
                              .arg(value);
        }
    return faults;
}

// --- Files -------------------------------------------------------------------------------------

PresetFileBytes presetFileBytes(const Preset& preset) {
    return buildPresetFile(packPresetRecords(preset.values, preset.presetNumber));
}

namespace {

// A preset's SysEx is a few kilobytes; a file far larger than that is no preset.
constexpr qint64 kMaxSyxSize = 1 << 20;

Outcome readSyxFile(QFile& file, Preset& preset) {
    const QString path = QDir::toNativeSeparators(file.fileName());
    if (file.size() > kMaxSyxSize)
        return Outcome::fail(kBadFile,
                             CliText::tr("\"%1\" is not a preset: %2 bytes, far more than the "
                                         "SysEx of a preset")
                                 .arg(path)
                                 .arg(file.size()));
    const QByteArray bytes = file.read(kMaxSyxSize + 1);
    const SyxPreset read = readPresetSyx(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                         static_cast<std::size_t>(bytes.size()));
    if (!read.ok)
        return Outcome::fail(
            kBadFile, CliText::tr("\"%1\" is not a preset: %2").arg(path, translated(read.reason)));
    preset = read.preset;
    return Outcome::done();
}

} // namespace

Outcome readPresetFile(const QString& path, Preset& preset, bool* zoneChannelsKnown) {
    if (zoneChannelsKnown) *zoneChannelsKnown = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome::fail(kBadFile,
                             CliText::tr("cannot read \"%1\": %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    if (isSyxPath(path)) {
        // The zones' channels are among the file's messages.
        Outcome r = readSyxFile(file, preset);
        if (r.ok() && zoneChannelsKnown) *zoneChannelsKnown = true;
        return r;
    }
    const QByteArray bytes = file.read(kPresetFileSize);
    const auto contents = parsePresetFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
    switch (contents.status) {
    case PresetFileStatus::Accepted:
        break;
    case PresetFileStatus::WrongSignature:
        return Outcome::fail(kBadFile, CliText::tr("\"%1\" is not a Korvalen25 preset file "
                                                   "(it does not begin with KORVALEN25)")
                                           .arg(QDir::toNativeSeparators(path)));
    case PresetFileStatus::TooShort:
        return Outcome::fail(kBadFile,
                             CliText::tr("\"%1\" is not a Korvalen25 preset file: %2 bytes, a "
                                         "preset file has %3")
                                 .arg(QDir::toNativeSeparators(path))
                                 .arg(bytes.size())
                                 .arg(kPresetFileSize));
    }
    preset = Preset{};
    unpackPresetRecords(contents.records, preset.values, preset.presetNumber);
    // The zones' channels go with the file they lie beside: a put sends what a get wrote.
    if (const auto channels = readZoneChannels(path)) {
        for (std::size_t z = 0; z < 3; ++z)
            preset.values.zones[z].chan = (*channels)[z];
        if (zoneChannelsKnown) *zoneChannelsKnown = true;
    }
    return Outcome::done();
}

Outcome writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return Outcome::done();
    return Outcome::fail(kBadFile, CliText::tr("cannot write \"%1\": %2")
                                       .arg(QDir::toNativeSeparators(path), file.errorString()));
}

Outcome writePresetFile(const QString& path, const Preset& preset) {
    if (isSyxPath(path)) {
        const std::vector<std::uint8_t> bytes = presetSyx(preset.values, preset.presetNumber);
        if (bytes.empty())
            return Outcome::fail(kBadFile, CliText::tr("cannot write \"%1\": preset number "
                                                       "%2 cannot be sent as SysEx")
                                               .arg(QDir::toNativeSeparators(path))
                                               .arg(preset.presetNumber));
        return writeFileAtomically(path, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size())));
    }
    // With the zone channels beside it, so that no older channels file stays with it.
    QString error;
    if (!writeStoredPreset(path, preset, &error)) return Outcome::fail(kBadFile, error);
    return Outcome::done();
}

// --- Readable forms ----------------------------------------------------------------------------

QString presetText(const Preset& preset) {
    QString out;
    const char* name = presetNameFor(preset.presetNumber);
    out += CliText::tr("Preset %1%2\n")
               .arg(shownPresetName(preset.presetNumber),
                    name ? QStringLiteral(" ") + QLatin1String(name) : QString());
    QString heading;
    for (const ControlView& c : controlsOf(preset.values)) {
        if (c.heading != heading) {
            heading = c.heading;
            out += QStringLiteral("\n%1\n").arg(heading);
        }
        const AssignmentValues& a = *c.values;
        // A column at least `width` wide, with a blank after it however long the text is.
        auto column = [](const QString& text, int width) {
            return text.leftJustified(width - 1) + QLatin1Char(' ');
        };
        QString line = QStringLiteral("  %1").arg(c.name, -5);
        if (c.panel == Panel::Button) line += column(shown(typeText(a.type), a.type), 9);
        line += column(shown(numberText(c), a.cc), 22);
        line += column(shown(bounded(a.chan, kMaxChannel, channelText), a.chan), 6);
        line += shown(bounded(a.port, kMaxPort, portText), a.port);
        if (c.panel == Panel::Button)
            line += QStringLiteral("  ") + shown(modeText(a.mode), a.mode);
        out += line + QLatin1Char('\n');
    }
    out += QStringLiteral("\nZones\n");
    for (int z = 0; z < 3; ++z) {
        const ZoneValues& zone = preset.values.zones[z];
        QStringList parts;
        for (const ZoneField& f : zoneFields()) {
            const int value = zone.*f.value;
            const QString label = QLatin1String(f.label);
            const QString part = (label.isEmpty() ? QString() : label + QLatin1Char(' ')) +
                                 shown(bounded(value, f.max, f.text), value);
            // The key range is one part: "keys 0 to 39".
            if (f.value == &ZoneValues::rangEnd)
                parts.last() += QLatin1Char(' ') + part;
            else
                parts << part;
        }
        out += QStringLiteral("  %1\n    %2\n")
                   .arg(zoneCaptionText(z, zone), parts.join(QStringLiteral(", ")));
    }
    return out;
}

QByteArray presetJson(const Preset& preset) {
    // A value outside its list has no shown value and no text: both are null, and only the raw
    // number tells what the file holds.
    auto text = [](const QString& t) { return t.isEmpty() ? QJsonValue() : QJsonValue(t); };
    auto value = [](int v, int max, const std::function<QJsonValue(int)>& shown) {
        return v <= max ? shown(v) : QJsonValue();
    };
    const auto channel = [](int v) { return countedFromOne(v, kMaxChannel); };
    const auto port = [](int v) { return countedFromOne(v, kMaxPort); };

    QJsonObject root;
    root[QStringLiteral("preset")] = shownPresetName(preset.presetNumber);
    const char* name = presetNameFor(preset.presetNumber);
    root[QStringLiteral("presetName")] = name ? QJsonValue(QLatin1String(name)) : QJsonValue();
    root[QStringLiteral("raw")] =
        QJsonObject{{QStringLiteral("presetNumber"), preset.presetNumber}};

    QJsonObject groups;
    for (const ControlView& c : controlsOf(preset.values)) {
        const AssignmentValues& a = *c.values;
        const bool button = c.panel == Panel::Button;
        QJsonObject o;
        QJsonObject raw;
        if (!c.bank.isEmpty()) o[QStringLiteral("bank")] = c.bank;
        o[QStringLiteral("control")] = c.name;
        // Encoders and the slider have no type and no mode on the device.
        if (button) {
            o[QStringLiteral("type")] = text(typeText(a.type));
            raw[QStringLiteral("type")] = a.type;
        }
        const QString number = numberText(c);
        o[QStringLiteral("number")] = number.isEmpty() ? QJsonValue() : QJsonValue(a.cc);
        o[QStringLiteral("numberText")] = text(number);
        raw[QStringLiteral("number")] = a.cc;
        o[QStringLiteral("channel")] = value(a.chan, kMaxChannel, channel);
        o[QStringLiteral("channelText")] = text(bounded(a.chan, kMaxChannel, channelText));
        raw[QStringLiteral("channel")] = a.chan;
        o[QStringLiteral("port")] = value(a.port, kMaxPort, port);
        o[QStringLiteral("portText")] = text(bounded(a.port, kMaxPort, portText));
        raw[QStringLiteral("port")] = a.port;
        if (button) {
            o[QStringLiteral("mode")] = text(modeText(a.mode));
            raw[QStringLiteral("mode")] = a.mode;
        }
        o[QStringLiteral("raw")] = raw;
        if (c.group == QLatin1String("slider")) {
            groups[c.group] = o;
        } else {
            QJsonArray list = groups[c.group].toArray();
            list.append(o);
            groups[c.group] = list;
        }
    }
    for (auto it = groups.begin(); it != groups.end(); ++it)
        root[it.key()] = it.value();

    QJsonArray zones;
    for (int z = 0; z < 3; ++z) {
        const ZoneValues& zone = preset.values.zones[z];
        QJsonObject o;
        QJsonObject raw;
        o[QStringLiteral("zone")] = z + 1;
        o[QStringLiteral("caption")] = zoneCaptionText(z, zone);
        for (const ZoneField& f : zoneFields()) {
            const int v = zone.*f.value;
            const QString key = QLatin1String(f.key);
            o[key] = value(v, f.max, f.shown);
            if (f.value != &ZoneValues::status && !f.plain)
                o[key + QStringLiteral("Text")] = text(bounded(v, f.max, f.text));
            raw[QLatin1String(f.name)] = v;
        }
        o[QStringLiteral("raw")] = raw;
        zones.append(o);
    }
    root[QStringLiteral("zones")] = zones;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace korvalen::cli
