#include "commands.h"

#include "device.h"
#include "flash.h"
#include "midi.h"
#include "nametables.h"
#include "outcome.h"
#include "platformfactory.h"
#include "presets.h"
#include "virtualdevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <string>
#include <vector>

namespace korvalen::cli {

namespace {

const char* const kCommands =
    R"(Reads, writes, backs up and shows the presets of a Korvalen25 MIDI controller, and
flashes its firmware.

Commands:
  ports                   list the MIDI ports and the one the Korvalen25 answers on
  get PRESET FILE.sav     read device preset PRESET into a preset file
  put FILE.sav [PRESET]   write a preset file to the device as PRESET (default: the
                          preset number stored in the file)
  show FILE.sav           print a preset file as text (--json for scripts)
  backup DIR              read all 15 presets into DIR, one file each: P01.sav,
                          P17.sav ... P30.sav
  restore DIR             write the 15 files of a backup in DIR back to the device
  flash FILE.bin          write a firmware image into a controller started in its
                          upgrade mode

PRESET is P01 (the factory preset "Korvalen") or P17 to P30 (the user presets), or
the device's numbers for them, 0 and 16 to 29.

Exit codes: 0 done, 1 device or transfer failure, 2 wrong command line, 3 bad file.)";

struct Command {
    const char* name;
    int minArgs;
    int maxArgs;
    const char* usage;
};

constexpr Command kCommandTable[] = {
    {"ports", 0, 0, "ports"},
    {"get", 2, 2, "get PRESET FILE.sav"},
    {"put", 1, 2, "put FILE.sav [PRESET]"},
    {"show", 1, 1, "show [--json] FILE.sav"},
    {"backup", 1, 1, "backup DIR"},
    {"restore", 1, 1, "restore DIR"},
    {"flash", 1, 1, "flash FILE.bin"},
};

const Command* findCommand(const QString& name) {
    for (const Command& c : kCommandTable)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

Outcome usage(const QString& what) {
    return Outcome::fail(kUsage, what + QStringLiteral(" (see korvalen25-cli --help)"));
}

Outcome presetArgument(const QString& text, int& number) {
    const auto n = parsePresetName(text);
    if (!n)
        return usage(QStringLiteral("\"%1\" is not a preset: use P01, P17 to P30, or 0, 16 to 29")
                         .arg(text));
    number = *n;
    return Outcome::done();
}

// The MIDI backend that --midi-api or KORVALEN_MIDI_API names, installed as the platform.
Outcome openPlatform(const QStringList& args, const RunOptions& options) {
    std::vector<std::string> held;
    for (const QString& a : args)
        held.push_back(a.toStdString());
    std::vector<const char*> argv;
    for (const std::string& a : held)
        argv.push_back(a.c_str());
    const std::string api = midi::requestedApiName(int(argv.size()), argv.data());
    const auto& known = midi::platformApiNames();
    if (std::find(known.begin(), known.end(), api) == known.end()) {
        QStringList names;
        for (const std::string& n : known)
            names << QString::fromStdString(n);
        return usage(QStringLiteral("unknown MIDI backend \"%1\"; known: %2")
                         .arg(QString::fromStdString(api), names.join(QStringLiteral(", "))));
    }
    if (options.platform) {
        midi::setPlatform(options.platform);
        return Outcome::done();
    }
    std::string error;
    auto platform = midi::createPlatform(api, &error, sim::attachVirtualDevice);
    if (!platform)
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the MIDI backend \"%1\" cannot be used: %2")
                                 .arg(QString::fromStdString(api), QString::fromStdString(error)));
    midi::setPlatform(platform);
    return Outcome::done();
}

// A failure with what it means for the command: `r` with `consequence` appended.
Outcome with(Outcome r, const QString& consequence) {
    if (!r.ok()) r.message += QStringLiteral("; ") + consequence;
    return r;
}

QString describe(int number) {
    const char* name = presetNameFor(number);
    return QStringLiteral("%1 (%2)").arg(shownPresetName(number), QLatin1String(name ? name : ""));
}

// --- Commands --------------------------------------------------------------------------------

Outcome showCommand(const QString& path, bool json, QTextStream& out) {
    Preset preset;
    if (Outcome r = readPresetFile(path, preset); !r.ok()) return r;
    if (json)
        out << QString::fromUtf8(presetJson(preset));
    else
        out << presetText(preset);
    return Outcome::done();
}

Outcome portsCommand(QTextStream& out) {
    DeviceSession session(midiLink);
    const Outcome found = session.connect();
    const midi::SearchRecord& search = midiLink.lastSearch();
    out << "MIDI backend: " << QString::fromStdString(midi::platform().apiName()) << '\n';
    auto list = [&out](const char* heading, const std::vector<midi::PortState>& ports, bool outputs,
                       int chosen) {
        out << heading << " (" << ports.size() << "):\n";
        for (std::size_t i = 0; i < ports.size(); ++i) {
            const midi::PortState& p = ports[i];
            QString state;
            // An output the search never came to (it found the controller first) was neither
            // opened nor refused.
            if (outputs && !p.opened && p.failure == midi::OpenFailure::None)
                state = QStringLiteral("not probed");
            else if (!p.opened)
                state = QStringLiteral("could not be opened");
            else if (int(i) == chosen)
                state = outputs ? QStringLiteral("the Korvalen25 answered the probe sent here")
                                : QStringLiteral("the Korvalen25 answers here");
            else if (p.answered)
                state = QStringLiteral("an answer came, not confirmed");
            else if (outputs && !p.probed)
                state = QStringLiteral("not probed");
            else
                state = QStringLiteral("no answer");
            out << "  " << i << "  " << QString::fromStdString(p.name) << "  -- " << state << '\n';
        }
    };
    list("Inputs", search.inputs, false, found.ok() ? search.inPort : -1);
    list("Outputs", search.outputs, true, found.ok() ? search.outPort : -1);
    if (search.otherDeviceSeen) out << "Another device answered as well.\n";
    if (found.ok())
        out << "The Korvalen25 answers on input " << search.inPort << " and output "
            << search.outPort << ".\n";
    return found;
}

Outcome getCommand(int number, const QString& path, QTextStream& out) {
    DeviceSession session(midiLink);
    Preset preset;
    if (Outcome r = session.connect(); !r.ok()) return r;
    if (Outcome r = session.upload(number, preset); !r.ok())
        return with(r, QStringLiteral("nothing was written, try again"));
    if (Outcome r = writePresetFile(path, preset); !r.ok()) return r;
    out << describe(number) << " saved to " << QDir::toNativeSeparators(path) << '\n';
    return Outcome::done();
}

// A file that the editor's model would take whole; anything else would reach the device
// only in part.
Outcome checkInRange(const QString& path, const Preset& preset) {
    const QStringList faults = outOfRangeFields(preset);
    if (faults.isEmpty()) return Outcome::done();
    return Outcome::fail(kBadFile, QStringLiteral("\"%1\" holds %2 value(s) out of range (%3); "
                                                  "nothing was sent")
                                       .arg(QDir::toNativeSeparators(path))
                                       .arg(faults.size())
                                       .arg(faults.first()));
}

// Stores `preset` as device preset `number` and reads it back: the controller confirms no
// download, so only the read-back shows that the preset arrived. A file holds no zone
// channels: the preset keeps the ones it has on the device, as the editor's model keeps its
// own when it loads a file.
Outcome store(DeviceSession& session, Preset preset, int number) {
    Preset current;
    if (Outcome r = session.upload(number, current); !r.ok())
        return with(r, QStringLiteral("nothing was sent"));
    for (int z = 0; z < 3; ++z)
        preset.values.zones[z].chan = current.values.zones[z].chan;
    preset.presetNumber = static_cast<std::uint8_t>(number);
    if (Outcome r = session.download(preset, number); !r.ok()) return r;

    Preset stored;
    if (Outcome r = session.upload(number, stored); !r.ok())
        return with(r,
                    QStringLiteral("the preset was sent but could not be read back to check it"));
    // Encoders and the slider have no type or mode on the device: the download sends none and
    // a dump carries none.
    for (std::size_t i = 0; i < stored.values.encoders.size(); ++i) {
        stored.values.encoders[i].type = preset.values.encoders[i].type;
        stored.values.encoders[i].mode = preset.values.encoders[i].mode;
    }
    stored.values.slider.type = preset.values.slider.type;
    stored.values.slider.mode = preset.values.slider.mode;
    // The download always switches zone 1 on.
    const std::uint8_t zoneBits = downloadZoneBits(preset.values);
    for (int z = 0; z < 3; ++z)
        preset.values.zones[z].status = (zoneBits >> z) & 1;
    const QString difference = firstDifference(preset, stored);
    if (difference.isEmpty()) return Outcome::done();
    return Outcome::fail(kDeviceFailure,
                         QStringLiteral("%1 reads back different from what was sent (%2); check "
                                        "the controller and try again")
                             .arg(shownPresetName(number), difference));
}

Outcome putCommand(const QString& path, int number, QTextStream& out) {
    Preset preset;
    if (Outcome r = readPresetFile(path, preset); !r.ok()) return r;
    if (Outcome r = checkInRange(path, preset); !r.ok()) return r;
    if (number < 0) number = preset.presetNumber;
    if (presetNameFor(number) == nullptr) {
        return Outcome::fail(kBadFile,
                             QStringLiteral("\"%1\" names preset number %2, which the device does "
                                            "not have; give the preset to store it as (P01, "
                                            "P17-P30)")
                                 .arg(QDir::toNativeSeparators(path))
                                 .arg(number));
    }
    DeviceSession session(midiLink);
    if (Outcome r = session.connect(); !r.ok()) return r;
    if (Outcome r = store(session, preset, number); !r.ok()) return r;
    out << QDir::toNativeSeparators(path) << " stored as " << describe(number) << '\n';
    return Outcome::done();
}

Outcome backupCommand(const QString& dirPath, QTextStream& out) {
    DeviceSession session(midiLink);
    if (Outcome r = session.connect(); !r.ok()) return r;
    // Every preset is read before any file is written: a failed transfer writes nothing.
    std::vector<Preset> presets(kDevicePresets.size());
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i) {
        if (Outcome r = session.upload(kDevicePresets[i], presets[i]); !r.ok())
            return with(r, QStringLiteral("nothing was written, try again"));
        out << describe(kDevicePresets[i]) << " read\n";
        out.flush();
    }
    const QDir dir(dirPath);
    if (!dir.mkpath(QStringLiteral(".")))
        return Outcome::fail(kBadFile, QStringLiteral("cannot create the folder \"%1\"")
                                           .arg(QDir::toNativeSeparators(dirPath)));
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i)
        if (Outcome r =
                writePresetFile(dir.filePath(backupFileName(kDevicePresets[i])), presets[i]);
            !r.ok())
            return r;
    out << kDevicePresets.size() << " presets saved in " << QDir::toNativeSeparators(dirPath)
        << '\n';
    return Outcome::done();
}

Outcome restoreCommand(const QString& dirPath, QTextStream& out) {
    const QDir dir(dirPath);
    if (!dir.exists())
        return Outcome::fail(
            kBadFile,
            QStringLiteral("there is no folder \"%1\"").arg(QDir::toNativeSeparators(dirPath)));
    // Every file is read and checked before anything is sent.
    std::vector<Preset> presets(kDevicePresets.size());
    QStringList missing;
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i) {
        const QString path = dir.filePath(backupFileName(kDevicePresets[i]));
        if (!QFileInfo::exists(path)) {
            missing << backupFileName(kDevicePresets[i]);
            continue;
        }
        if (Outcome r = readPresetFile(path, presets[i]); !r.ok()) return r;
        if (Outcome r = checkInRange(path, presets[i]); !r.ok()) return r;
    }
    if (!missing.isEmpty())
        return Outcome::fail(
            kBadFile,
            QStringLiteral("\"%1\" is not a complete backup: %2 missing; "
                           "nothing was sent")
                .arg(QDir::toNativeSeparators(dirPath), missing.join(QStringLiteral(", "))));

    DeviceSession session(midiLink);
    if (Outcome r = session.connect(); !r.ok()) return r;
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i) {
        if (Outcome r = store(session, presets[i], kDevicePresets[i]); !r.ok()) {
            r.message += i == 0 ? QStringLiteral("; no preset was restored")
                                : QStringLiteral("; the presets before it were restored");
            return r;
        }
        out << describe(kDevicePresets[i]) << " restored\n";
        out.flush();
    }
    out << kDevicePresets.size() << " presets restored from " << QDir::toNativeSeparators(dirPath)
        << '\n';
    return Outcome::done();
}

} // namespace

int run(const QStringList& args, QTextStream& out, QTextStream& err, const RunOptions& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kCommands));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    QStringList apiNames;
    for (const std::string& n : midi::platformApiNames())
        apiNames << QString::fromStdString(n);
    const QCommandLineOption api(
        QStringLiteral("midi-api"),
        QStringLiteral("MIDI backend: %1 (default: KORVALEN_MIDI_API, else auto).")
            .arg(apiNames.join(QStringLiteral(", "))),
        QStringLiteral("NAME"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("show: print the preset as JSON."));
    parser.addOptions({help, version, api, json});
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("ports, get, put, show, backup, restore or flash."),
                                 QStringLiteral("command [arguments]"));

    auto finish = [&](const Outcome& r) {
        if (!r.ok()) err << "korvalen25-cli: " << r.message << '\n';
        out.flush();
        err.flush();
        return r.code;
    };

    if (!parser.parse(args)) return finish(usage(parser.errorText()));
    if (parser.isSet(help)) {
        out << parser.helpText();
        return finish(Outcome::done());
    }
    if (parser.isSet(version)) {
        out << "korvalen25-cli " << QCoreApplication::applicationVersion() << '\n';
        return finish(Outcome::done());
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) return finish(usage(QStringLiteral("no command given")));
    const Command* command = findCommand(positional.first());
    if (command == nullptr)
        return finish(usage(QStringLiteral("unknown command \"%1\"").arg(positional.first())));
    const QStringList rest = positional.mid(1);
    if (rest.size() < command->minArgs || rest.size() > command->maxArgs)
        return finish(
            usage(QStringLiteral("usage: korvalen25-cli %1").arg(QLatin1String(command->usage))));
    const QString name = QLatin1String(command->name);
    if (parser.isSet(json) && name != QLatin1String("show"))
        return finish(usage(QStringLiteral("--json goes with show only")));

    if (name == QLatin1String("show")) return finish(showCommand(rest[0], parser.isSet(json), out));

    int number = -1; // get: the preset to read; put: the one to store as, -1 the file's own
    if (name == QLatin1String("get") || (name == QLatin1String("put") && rest.size() == 2))
        if (Outcome r = presetArgument(rest[name == QLatin1String("get") ? 0 : 1], number); !r.ok())
            return finish(r);
    if (Outcome r = openPlatform(args, options); !r.ok()) return finish(r);

    Outcome result;
    if (name == QLatin1String("ports"))
        result = portsCommand(out);
    else if (name == QLatin1String("get"))
        result = getCommand(number, rest[1], out);
    else if (name == QLatin1String("put"))
        result = putCommand(rest[0], number, out);
    else if (name == QLatin1String("backup"))
        result = backupCommand(rest[0], out);
    else if (name == QLatin1String("restore"))
        result = restoreCommand(rest[0], out);
    else
        result = flashCommand(rest[0], out, options.terminal);
    return finish(result);
}

} // namespace korvalen::cli
