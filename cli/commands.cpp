#include "commands.h"

#include "compare.h"
#include "device.h"
#include "flash.h"
#include "help.h"
#include "midi.h"
#include "monitor.h"
#include "nametables.h"
#include "outcome.h"
#include "platformfactory.h"
#include "presethistory.h"
#include "presets.h"
#include "virtualdevice.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvalen::cli {

namespace {

// The general help around the list of commands.
const char* const kIntroduction =
    R"(Reads, writes, backs up and shows the presets of a Korvalen25 MIDI controller, and
flashes its firmware.

)";
const char* const kPresetsAndExitCodes =
    R"(
PRESET is P01 (the factory preset "Korvalen") or P17 to P30 (the user presets), or
the device's numbers for them, 0 and 16 to 29.

Before put, restore and undo-put replace a preset on the device, the preset stored there is
read and kept as a snapshot (see history). Snapshots are kept in KORVALEN_HISTORY_DIR, else
korvalen25/history in the user's data folder (XDG_DATA_HOME, ~/.local/share).

Exit codes: 0 done, 1 device or transfer failure, 2 wrong command line, 3 bad file
(diff: 0 the same, 1 different).)";

// A wrong command line; `command` names the help to read, the general help when empty.
Outcome usage(const QString& what, const QString& command = QString()) {
    return Outcome::fail(kUsage,
                         what + QStringLiteral(" (see korvalen25-cli %1)")
                                    .arg(command.isEmpty() ? QStringLiteral("--help")
                                                           : QStringLiteral("help ") + command));
}

Outcome presetArgument(const QString& text, const QString& command, int& number) {
    const auto n = parsePresetName(text);
    if (!n)
        return usage(
            QStringLiteral("\"%1\" is not a preset: use P01, P17 to P30, or 0, 16 to 29").arg(text),
            command);
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

Outcome portsCommand(const QString& port, QTextStream& out) {
    DeviceSession session(midiLink);
    const Outcome found = session.connect(port);
    const midi::SearchRecord& search = midiLink.lastSearch();
    // Ports on which a controller answered that was not chosen.
    auto answeredHere = [&search](int i, bool outputs) {
        for (const midi::FoundDevice& d : search.devices)
            if ((outputs ? d.outPort : d.inPort) == i) return true;
        return false;
    };
    out << "MIDI backend: " << QString::fromStdString(midi::platform().apiName()) << '\n';
    auto list = [&out, &answeredHere](const char* heading,
                                      const std::vector<midi::PortState>& ports, bool outputs,
                                      int chosen) {
        out << heading << " (" << ports.size() << "):\n";
        for (std::size_t i = 0; i < ports.size(); ++i) {
            const midi::PortState& p = ports[i];
            QString state;
            if (!p.opened && p.failure == midi::OpenFailure::None)
                state = QStringLiteral("not tried");
            else if (!p.opened)
                state = QStringLiteral("could not be opened");
            else if (int(i) == chosen)
                state = outputs ? QStringLiteral("the Korvalen25 answered the probe sent here")
                                : QStringLiteral("the Korvalen25 answers here");
            else if (answeredHere(int(i), outputs))
                state = outputs ? QStringLiteral("a Korvalen25 answered the probe sent here")
                                : QStringLiteral("a Korvalen25 answers here");
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

Outcome getCommand(const QString& port, int number, const QString& path, QTextStream& out) {
    DeviceSession session(midiLink);
    Preset preset;
    if (Outcome r = session.connect(port); !r.ok()) return r;
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

// What a write did to the device preset it was aimed at.
enum class Written {
    Untouched,       // nothing that stores a preset went out
    Whole,           // read back as it was sent
    MaybeIncomplete, // stored, but not all of it may have arrived
};

// The snapshot a write takes of the preset it replaces: whether the write may go on without
// one (--no-snapshot), where it was kept, and what to tell when none was.
struct Snapshot {
    bool required = true;
    QString kept; // the snapshot's path
    QString note; // why none was kept, when the write went on without one
};

QString withoutSnapshotHint() {
    return QStringLiteral("nothing was sent (--no-snapshot writes without one)");
}

// Stores `preset` as device preset `number`; the link reads it back and sends again what did
// not arrive. The preset stored there is read first and kept as a snapshot. A file holds no
// zone channels: the preset keeps the ones it has on the device, as the editor's model keeps
// its own when it loads a file, unless `ownZoneChannels` (a snapshot that holds them).
Outcome store(DeviceSession& session, Preset preset, int number, Written& written,
              Snapshot& snapshot, bool ownZoneChannels = false) {
    written = Written::Untouched;
    const QString name = shownPresetName(number);
    Preset current;
    if (Outcome r = session.upload(number, current); !r.ok()) {
        if (snapshot.required)
            return with(r, QStringLiteral("no snapshot of %1 could be kept, so %2")
                               .arg(name, withoutSnapshotHint()));
        snapshot.note = QStringLiteral("No snapshot of %1 was kept: %2.").arg(name, r.message);
        if (!ownZoneChannels)
            snapshot.note += QStringLiteral(" Its keyboard zones now send on channel 1.");
    } else {
        const SnapshotResult kept = keepSnapshot(current, number, PresetHistory());
        if (kept.path.isEmpty() && snapshot.required)
            return Outcome::fail(kBadFile, QStringLiteral("cannot keep a snapshot of %1: %2; %3")
                                               .arg(name, kept.writeError, withoutSnapshotHint()));
        if (kept.path.isEmpty())
            snapshot.note =
                QStringLiteral("No snapshot of %1 was kept: %2.").arg(name, kept.writeError);
        snapshot.kept = kept.path;
        if (!ownZoneChannels)
            for (int z = 0; z < 3; ++z)
                preset.values.zones[z].chan = current.values.zones[z].chan;
    }
    preset.presetNumber = static_cast<std::uint8_t>(number);
    DownloadResult result;
    const Outcome r = session.download(preset, number, result);
    written = r.ok()           ? Written::Whole
              : result.endSent ? Written::MaybeIncomplete
                               : Written::Untouched;
    return r;
}

// The lines a write prints about its snapshot.
void tellSnapshot(const Snapshot& snapshot, int number, QTextStream& out) {
    if (!snapshot.note.isEmpty()) out << snapshot.note << '\n';
    if (!snapshot.kept.isEmpty())
        out << shownPresetName(number) << " as it was before is kept in "
            << QDir::toNativeSeparators(snapshot.kept) << '\n';
}

// What became of the preset a failed write was aimed at.
QString aftermath(Written written, int number) {
    return written == Written::MaybeIncomplete
               ? QStringLiteral("%1 may now be incomplete on the controller")
                     .arg(shownPresetName(number))
               : QStringLiteral("%1 on the controller was not changed")
                     .arg(shownPresetName(number));
}

// Shows how a download goes once it has taken more than a second: on a terminal a line that
// changes in place, otherwise nothing.
PresetTransfer::ProgressHandler downloadProgress(QTextStream& out, bool terminal, int number) {
    if (!terminal) return {};
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    auto shown = std::make_shared<bool>(false);
    const QString name = shownPresetName(number);
    return [&out, started, shown, name](const PresetTransfer::Progress& p) {
        if (!*shown && started->elapsed() < 1000) return;
        *shown = true;
        const QString what = p.readingBack ? QStringLiteral("reading it back")
                             : p.round == 1
                                 ? QStringLiteral("%1 of %2 messages").arg(p.sent).arg(p.total)
                                 : QStringLiteral("sending again, slower: %1 of %2 messages")
                                       .arg(p.sent)
                                       .arg(p.total);
        out << "\r\x1b[K" << name << ": " << what;
        if (p.readingBack) out << '\n';
        out.flush();
    };
}

Outcome putCommand(const QString& port, const QString& path, int number, bool snapshotRequired,
                   QTextStream& out, bool terminal) {
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
    if (Outcome r = session.connect(port); !r.ok()) return r;
    session.setProgressHandler(downloadProgress(out, terminal, number));
    Written written = Written::Untouched;
    Snapshot snapshot{snapshotRequired, {}, {}};
    if (Outcome r = store(session, preset, number, written, snapshot); !r.ok())
        return with(r, aftermath(written, number));
    out << QDir::toNativeSeparators(path) << " stored as " << describe(number) << '\n';
    tellSnapshot(snapshot, number, out);
    return Outcome::done();
}

// Writes back the latest snapshot of `number`, which holds the zones' channels too. The
// preset it replaces is kept as a snapshot in turn, so a second undo-put undoes the first.
Outcome undoPutCommand(const QString& port, int number, bool snapshotRequired, QTextStream& out,
                       bool terminal) {
    const PresetHistory history;
    const auto latest = history.latest(number);
    if (!latest)
        return Outcome::fail(kBadFile, QStringLiteral("there is no snapshot of %1 in \"%2\"")
                                           .arg(shownPresetName(number),
                                                QDir::toNativeSeparators(history.folder())));
    StoredPreset stored;
    QString error;
    if (!readStoredPreset(latest->path, stored, &error)) return Outcome::fail(kBadFile, error);
    if (Outcome r = checkInRange(latest->path, stored.preset); !r.ok()) return r;
    DeviceSession session(midiLink);
    if (Outcome r = session.connect(port); !r.ok()) return r;
    session.setProgressHandler(downloadProgress(out, terminal, number));
    Written written = Written::Untouched;
    Snapshot snapshot{snapshotRequired, {}, {}};
    if (Outcome r =
            store(session, stored.preset, number, written, snapshot, stored.zoneChannelsKnown);
        !r.ok())
        return with(r, aftermath(written, number));
    out << describe(number) << " put back as it was at " << snapshotTime(*latest) << " ("
        << QDir::toNativeSeparators(latest->path) << ")\n";
    tellSnapshot(snapshot, number, out);
    return Outcome::done();
}

Outcome backupCommand(const QString& port, const QString& dirPath, QTextStream& out) {
    DeviceSession session(midiLink);
    if (Outcome r = session.connect(port); !r.ok()) return r;
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

Outcome restoreCommand(const QString& port, const QString& dirPath, bool snapshotRequired,
                       QTextStream& out, bool terminal) {
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
    if (Outcome r = session.connect(port); !r.ok()) return r;
    bool kept = false;
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i) {
        session.setProgressHandler(downloadProgress(out, terminal, kDevicePresets[i]));
        Written written = Written::Untouched;
        Snapshot snapshot{snapshotRequired, {}, {}};
        if (Outcome r = store(session, presets[i], kDevicePresets[i], written, snapshot); !r.ok()) {
            // Which presets are on the controller whole, which one may not be, which were not
            // touched.
            QStringList whole, untouched;
            for (std::size_t k = 0; k < kDevicePresets.size(); ++k)
                if (k != i) (k < i ? whole : untouched) << shownPresetName(kDevicePresets[k]);
            if (written == Written::Untouched)
                untouched.prepend(shownPresetName(kDevicePresets[i]));
            QStringList parts;
            parts << (whole.isEmpty() ? QStringLiteral("no preset was restored")
                                      : QStringLiteral("restored whole: %1")
                                            .arg(whole.join(QStringLiteral(", "))));
            if (written == Written::MaybeIncomplete) parts << aftermath(written, kDevicePresets[i]);
            if (!untouched.isEmpty())
                parts
                    << QStringLiteral("not changed: %1").arg(untouched.join(QStringLiteral(", ")));
            return with(r, parts.join(QStringLiteral("; ")));
        }
        out << describe(kDevicePresets[i]) << " restored\n";
        if (!snapshot.note.isEmpty()) out << snapshot.note << '\n';
        kept = kept || !snapshot.kept.isEmpty();
        out.flush();
    }
    if (kept)
        out << "The presets as they were before are kept in "
            << QDir::toNativeSeparators(PresetHistory().folder()) << '\n';
    out << kDevicePresets.size() << " presets restored from " << QDir::toNativeSeparators(dirPath)
        << '\n';
    return Outcome::done();
}

} // namespace

int run(const QStringList& args, QTextStream& out, QTextStream& err, const RunOptions& options) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kIntroduction) + commandList() +
                                     QString::fromLatin1(kPresetsAndExitCodes));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit; after a command, that "
                                                 "command's help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    QStringList apiNames;
    for (const std::string& n : midi::platformApiNames())
        apiNames << QString::fromStdString(n);
    const QString apiHelp = QStringLiteral("MIDI backend: %1 (default: KORVALEN_MIDI_API, else "
                                           "auto).")
                                .arg(apiNames.join(QStringLiteral(", ")));
    const QCommandLineOption api(QStringLiteral("midi-api"), apiHelp, QStringLiteral("NAME"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("show, diff: print as JSON."));
    const QCommandLineOption sendPause(
        QStringLiteral("send-pause"),
        QStringLiteral("put, restore: a pause of MS milliseconds (0-1000) after each message of a "
                       "download, for a controller that cannot keep up (default: "
                       "KORVALEN_SEND_PAUSE_MS, else none; a download that does not arrive whole "
                       "is sent again more slowly in any case)."),
        QStringLiteral("MS"));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("The controller to use when more than one answers: a part of its MIDI port "
                       "name, in any case."),
        QStringLiteral("NAME"));

    const QCommandLineOption noSnapshot(
        QStringLiteral("no-snapshot"),
        QStringLiteral("put, restore, undo-put: write even when the preset to be replaced "
                       "cannot be read and kept as a snapshot."));
    parser.addOptions({help, version, api, json, sendPause, noSnapshot, port});
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Print every MIDI message of the command on stderr, in words."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("diagnostics: write the report to FILE."),
                                    QStringLiteral("FILE"));
    parser.addOptions({verbose, output});
    parser.addPositionalArgument(
        QStringLiteral("command"),
        QStringLiteral("ports, get, put, show, diff, backup, restore, history, undo-put, flash, "
                       "monitor, diagnostics or help."),
        QStringLiteral("command [arguments]"));

    auto finish = [&](const Outcome& r) {
        if (!r.ok()) err << "korvalen25-cli: " << r.message << '\n';
        out.flush();
        err.flush();
        return r.code;
    };

    if (!parser.parse(args)) return finish(usage(parser.errorText()));
    const QStringList positional = parser.positionalArguments();
    const Command* command = positional.isEmpty() ? nullptr : findCommand(positional.first());
    if (!positional.isEmpty() && command == nullptr)
        return finish(usage(QStringLiteral("unknown command \"%1\"").arg(positional.first())));
    const QStringList rest = positional.mid(1);
    const QString name = command ? QLatin1String(command->name) : QString();

    // "help COMMAND", "COMMAND --help" and "help --help" print the command's help; "--help"
    // and "help" alone the general help.
    if (parser.isSet(help) || name == QLatin1String("help")) {
        const Command* about = command;
        if (name == QLatin1String("help") && !parser.isSet(help)) {
            if (rest.size() > 1)
                return finish(usage(
                    QStringLiteral("usage: korvalen25-cli %1").arg(QLatin1String(command->usage)),
                    name));
            about = rest.isEmpty() ? nullptr : findCommand(rest[0]);
            if (!rest.isEmpty() && about == nullptr)
                return finish(usage(QStringLiteral("unknown command \"%1\"").arg(rest[0])));
        }
        if (about) {
            out << commandHelp(*about, apiHelp);
        } else {
            // The program's name, not the path it was started by (the manual page is made
            // from this text).
            QString text = parser.helpText();
            text.replace(0, text.indexOf(QLatin1Char('\n')),
                         QStringLiteral("Usage: korvalen25-cli [options] command [arguments]\n"));
            out << text;
        }
        return finish(Outcome::done());
    }
    if (parser.isSet(version)) {
        out << "korvalen25-cli " << QCoreApplication::applicationVersion() << '\n';
        return finish(Outcome::done());
    }
    if (command == nullptr) return finish(usage(QStringLiteral("no command given")));
    if (rest.size() < command->minArgs || rest.size() > command->maxArgs)
        return finish(usage(
            QStringLiteral("usage: korvalen25-cli %1").arg(QLatin1String(command->usage)), name));
    const QString portName = parser.value(port);
    if (parser.isSet(port) && !command->usesDevice)
        return finish(
            usage(QStringLiteral("--port goes with the commands that use the controller"), name));
    if (parser.isSet(port) && portName.trimmed().isEmpty())
        return finish(usage(QStringLiteral("--port takes a part of a MIDI port name"), name));
    if (parser.isSet(json) && name != QLatin1String("show") && name != QLatin1String("diff"))
        return finish(
            usage(QStringLiteral("--json goes with show and diff only"), QStringLiteral("show")));
    const bool writes = name == QLatin1String("put") || name == QLatin1String("restore") ||
                        name == QLatin1String("undo-put");
    if (parser.isSet(noSnapshot) && !writes)
        return finish(usage(QStringLiteral("--no-snapshot goes with put, restore and undo-put "
                                           "only"),
                            QStringLiteral("put")));
    const bool snapshotRequired = !parser.isSet(noSnapshot);
    if (parser.isSet(output) && name != QLatin1String("diagnostics"))
        return finish(
            usage(QStringLiteral("-o goes with diagnostics only"), QStringLiteral("diagnostics")));

    // Each command starts at full speed; a download slows down as the controller needs.
    SendPace::session().setBytesPerSecond(0);
    if (parser.isSet(sendPause)) {
        unsigned ms = 0;
        if (!SendPace::parsePause(parser.value(sendPause).toStdString(), ms))
            return finish(usage(QStringLiteral("--send-pause takes milliseconds from 0 to 1000")));
        SendPace::session().setPauseMs(ms);
    }
    if (name == QLatin1String("show")) return finish(showCommand(rest[0], parser.isSet(json), out));

    // get, undo-put: the preset to read or write; put: the one to store as, -1 the file's own;
    // history: the one to list, -1 all.
    int number = -1;
    if (name == QLatin1String("get") || name == QLatin1String("undo-put") ||
        (name == QLatin1String("history") && rest.size() == 1))
        if (Outcome r = presetArgument(rest[0], name, number); !r.ok()) return finish(r);
    if (name == QLatin1String("put") && rest.size() == 2)
        if (Outcome r = presetArgument(rest[1], name, number); !r.ok()) return finish(r);
    if (name == QLatin1String("history")) return finish(historyCommand(number, out));
    // diff needs the MIDI ports only for a preset of the controller.
    const bool usesDevice =
        name != QLatin1String("diff") || parsePresetName(rest[0]) || parsePresetName(rest[1]);
    if (usesDevice)
        if (Outcome r = openPlatform(args, options); !r.ok()) return finish(r);
    if (name == QLatin1String("diff")) {
        bool differ = false;
        const Outcome r = diffCommand(portName, rest[0], rest[1], parser.isSet(json), out, differ);
        if (r.ok() && differ) {
            out.flush();
            err.flush();
            return kDiffer;
        }
        return finish(r);
    }

    std::optional<VerbosePrinter> traffic;
    // The monitor prints the traffic itself.
    if (parser.isSet(verbose) && name != QLatin1String("monitor")) traffic.emplace(err);
    Outcome result;
    if (name == QLatin1String("monitor"))
        result = monitorCommand(portName, out, err, options.monitorKeepGoing);
    else if (name == QLatin1String("diagnostics"))
        result = diagnosticsCommand(portName, parser.value(output), out);
    else if (name == QLatin1String("ports"))
        result = portsCommand(portName, out);
    else if (name == QLatin1String("get"))
        result = getCommand(portName, number, rest[1], out);
    else if (name == QLatin1String("put"))
        result = putCommand(portName, rest[0], number, snapshotRequired, out, options.terminal);
    else if (name == QLatin1String("undo-put"))
        result = undoPutCommand(portName, number, snapshotRequired, out, options.terminal);
    else if (name == QLatin1String("backup"))
        result = backupCommand(portName, rest[0], out);
    else if (name == QLatin1String("restore"))
        result = restoreCommand(portName, rest[0], snapshotRequired, out, options.terminal);
    else
        result = flashCommand(rest[0], out, options.terminal, portName);
    if (traffic) traffic->stop();
    return finish(result);
}

} // namespace korvalen::cli
