#include "presets.h"

#include "nametables.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

QString backupFileName(int number) {
    return shownPresetName(number) + QStringLiteral(".sav");
}

// --- Bounds ----------------------------------------------------------------------------------

namespace {

// One zone field: its name, where it is, its bound and how the editor shows it.
struct ZoneField {
    const char* name;  // JSON key
    const char* label; // text label
    std::uint8_t ZoneValues::*value;
    std::uint8_t max;
    std::function<QString(int)> text;
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

const std::array<ZoneField, 9>& zoneFields() {
    const auto number = [](int v) { return QString::number(v); };
    static const std::array<ZoneField, 9> fields = {{
        {"status", "", &ZoneValues::status, kMaxZoneStatus,
         [](int v) { return v == 1 ? QStringLiteral("ON") : QStringLiteral("OFF"); }},
        {"program", "program", &ZoneValues::prog, kMaxZoneByte,
         [](int v) { return QString::fromStdString(programListEntry(v)); }},
        {"msb", "bank MSB", &ZoneValues::msb, kMaxZoneByte, number},
        {"lsb", "LSB", &ZoneValues::lsb, kMaxZoneByte, number},
        {"port", "port", &ZoneValues::port, kMaxPort, portText},
        {"rangeStart", "keys", &ZoneValues::rangSta, kMaxZoneByte, number},
        {"rangeEnd", "to", &ZoneValues::rangEnd, kMaxZoneByte, number},
        {"octave", "octave", &ZoneValues::oct, kMaxOctave,
         [](int v) { return offsetText(v, kOctaveZero); }},
        {"transpose", "transpose", &ZoneValues::trans, kMaxTranspose,
         [](int v) { return offsetText(v, kTransposeZero); }},
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
            list.push_back({QStringLiteral("encoders"), QStringLiteral("Encoders, ") + bank, bank,
                            QStringLiteral("E%1").arg(k + 1), Panel::Encoder,
                            &v.encoders[8 * b + k]});
        for (int k = 0; k < 4; ++k)
            list.push_back(
                {QStringLiteral("functionButtons"), QStringLiteral("Function buttons, ") + bank,
                 bank, QStringLiteral("F%1").arg(k + 1), Panel::Button, &v.functions[4 * b + k]});
    }
    for (int b = 0; b < 2; ++b) {
        const QString bank = b == 0 ? QStringLiteral("A") : QStringLiteral("B");
        for (int k = 0; k < 4; ++k)
            list.push_back({QStringLiteral("pads"), QStringLiteral("Pads, bank ") + bank, bank,
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
    return text.isEmpty() ? QStringLiteral("%1 (out of range)").arg(value) : text;
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

Outcome readPresetFile(const QString& path, Preset& preset) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome::fail(kBadFile,
                             QStringLiteral("cannot read \"%1\": %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    const QByteArray bytes = file.read(kPresetFileSize);
    const auto contents = parsePresetFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size()));
    switch (contents.status) {
    case PresetFileStatus::Accepted:
        break;
    case PresetFileStatus::WrongSignature:
        return Outcome::fail(kBadFile, QStringLiteral("\"%1\" is not a Korvalen25 preset file "
                                                      "(it does not begin with KORVALEN25)")
                                           .arg(QDir::toNativeSeparators(path)));
    case PresetFileStatus::TooShort:
        return Outcome::fail(kBadFile,
                             QStringLiteral("\"%1\" is not a Korvalen25 preset file: %2 bytes, a "
                                            "preset file has %3")
                                 .arg(QDir::toNativeSeparators(path))
                                 .arg(bytes.size())
                                 .arg(kPresetFileSize));
    }
    preset = Preset{};
    unpackPresetRecords(contents.records, preset.values, preset.presetNumber);
    return Outcome::done();
}

Outcome writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return Outcome::done();
    return Outcome::fail(kBadFile, QStringLiteral("cannot write \"%1\": %2")
                                       .arg(QDir::toNativeSeparators(path), file.errorString()));
}

Outcome writePresetFile(const QString& path, const Preset& preset) {
    const auto bytes = presetFileBytes(preset);
    return writeFileAtomically(
        path, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

// --- Readable forms ----------------------------------------------------------------------------

QString presetText(const Preset& preset) {
    QString out;
    const char* name = presetNameFor(preset.presetNumber);
    out += QStringLiteral("Preset %1%2\n")
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
    auto text = [](const QString& t) { return t.isEmpty() ? QJsonValue() : QJsonValue(t); };
    QJsonObject root;
    root[QStringLiteral("presetNumber")] = preset.presetNumber;
    root[QStringLiteral("preset")] = shownPresetName(preset.presetNumber);
    const char* name = presetNameFor(preset.presetNumber);
    root[QStringLiteral("presetName")] = name ? QJsonValue(QLatin1String(name)) : QJsonValue();

    QJsonObject groups;
    for (const ControlView& c : controlsOf(preset.values)) {
        const AssignmentValues& a = *c.values;
        QJsonObject o;
        if (!c.bank.isEmpty()) o[QStringLiteral("bank")] = c.bank;
        o[QStringLiteral("control")] = c.name;
        o[QStringLiteral("type")] = a.type;
        o[QStringLiteral("typeText")] = text(typeText(a.type));
        o[QStringLiteral("number")] = a.cc;
        o[QStringLiteral("numberText")] = text(numberText(c));
        o[QStringLiteral("channel")] = a.chan;
        o[QStringLiteral("channelText")] = text(bounded(a.chan, kMaxChannel, channelText));
        o[QStringLiteral("port")] = a.port;
        o[QStringLiteral("portText")] = text(bounded(a.port, kMaxPort, portText));
        o[QStringLiteral("mode")] = a.mode;
        o[QStringLiteral("modeText")] = text(modeText(a.mode));
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
        o[QStringLiteral("zone")] = z + 1;
        o[QStringLiteral("caption")] = zoneCaptionText(z, zone);
        for (const ZoneField& f : zoneFields()) {
            const int value = zone.*f.value;
            const QString key = QLatin1String(f.name);
            o[key] = value;
            o[key + QStringLiteral("Text")] = text(bounded(value, f.max, f.text));
        }
        zones.append(o);
    }
    root[QStringLiteral("zones")] = zones;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace korvalen::cli
