#include "commands.h"
#include "clitext.h"

#include "compare.h"
#include "coretext.h"
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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvalen::cli {

namespace {

// The general help around the list of commands.
const char* const kIntroduction = QT_TRANSLATE_NOOP(
    "CliText",
    R"(Reads, writes, backs up and shows the presets of a Korvalen25 MIDI controller, and
flashes its firmware.

)");
const char* const kPresetsAndExitCodes = QT_TRANSLATE_NOOP("CliText",
                                                           R"(
PRESET is P01 (the factory preset "Korvalen") or P17 to P30 (the user presets), or
the device's numbers for them, 0 and 16 to 29.

Before put, restore and undo-put replace a preset on the device, the preset stored there is
read and kept as a snapshot (see history). Snapshots are kept in KORVALEN_HISTORY_DIR, else
korvalen25/history in the user's data folder (XDG_DATA_HOME, ~/.local/share).

Exit codes: 0 done, 1 device or transfer failure, 2 wrong command line, 3 bad file
(diff: 0 the same, 1 different).)");

// A wrong command line; `command` names the help to read, the general help when empty.
Outcome usage(const QString& what, const QString& command = QString()) {
    return Outcome::fail(kUsage,
                         CliText::tr("%1 (see korvalen25-cli %2)")
                             .arg(what, command.isEmpty() ? QStringLiteral("--help")
                                                          : QStringLiteral("help ") + command));
}

Outcome presetArgument(const QString& text, const QString& command, int& number) {
    const auto n = parsePresetName(text);
    if (!n)
        return usage(
            CliText::tr("\"%1\" is not a preset: use P01, P17 to P30, or 0, 16 to 29").arg(text),
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
        return usage(CliText::tr("unknown MIDI backend \"%1\"; known: %2")
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
                             CliText::tr("the MIDI backend \"%1\" cannot be used: %2")
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

// What the search saw on one port: a word for scripts and the words for people.
struct PortSeen {
    const char* state;
    QString text;
};

PortSeen portSeen(const midi::SearchRecord& search, const midi::PortState& p, int i, bool outputs,
                  int chosen) {
    const bool answeredHere =
        std::any_of(search.devices.begin(), search.devices.end(), [&](const midi::FoundDevice& d) {
            return (outputs ? d.outPort : d.inPort) == i;
        });
    if (!p.opened && p.failure == midi::OpenFailure::None)
        return {"not-tried", CliText::tr("not tried")};
    if (!p.opened) return {"not-opened", CliText::tr("could not be opened")};
    if (i == chosen)
        return {"controller", outputs ? CliText::tr("the Korvalen25 answered the probe sent here")
                                      : CliText::tr("the Korvalen25 answers here")};
    // A controller answered here that was not chosen.
    if (answeredHere)
        return {"other-controller", outputs
                                        ? CliText::tr("a Korvalen25 answered the probe sent here")
                                        : CliText::tr("a Korvalen25 answers here")};
    if (p.answered) return {"unconfirmed", CliText::tr("an answer came, not confirmed")};
    if (outputs && !p.probed) return {"not-probed", CliText::tr("not probed")};
    return {"no-answer", CliText::tr("no answer")};
}

Outcome portsCommand(const QString& port, bool json, QTextStream& out) {
    DeviceSession session(midiLink);
    const Outcome found = session.connect(port);
    const midi::SearchRecord& search = midiLink.lastSearch();
    const QString api = QString::fromStdString(midi::platform().apiName());
    if (json) {
        auto list = [&search](const std::vector<midi::PortState>& ports, bool outputs, int chosen) {
            QJsonArray array;
            for (std::size_t i = 0; i < ports.size(); ++i) {
                const PortSeen seen = portSeen(search, ports[i], int(i), outputs, chosen);
                array.append(
                    QJsonObject{{QStringLiteral("index"), int(i)},
                                {QStringLiteral("name"), QString::fromStdString(ports[i].name)},
                                {QStringLiteral("state"), QLatin1String(seen.state)},
                                {QStringLiteral("text"), seen.text}});
            }
            return array;
        };
        QJsonObject root{
            {QStringLiteral("backend"), api},
            {QStringLiteral("inputs"), list(search.inputs, false, found.ok() ? search.inPort : -1)},
            {QStringLiteral("outputs"),
             list(search.outputs, true, found.ok() ? search.outPort : -1)},
            {QStringLiteral("otherDeviceSeen"), search.otherDeviceSeen}};
        root[QStringLiteral("controller")] =
            found.ok() ? QJsonValue(QJsonObject{{QStringLiteral("input"), search.inPort},
                                                {QStringLiteral("output"), search.outPort}})
                       : QJsonValue();
        out << QString::fromUtf8(QJsonDocument(root).toJson());
        return found;
    }
    out << CliText::tr("MIDI backend: %1").arg(api) << '\n';
    auto list = [&](const QString& heading, const std::vector<midi::PortState>& ports, bool outputs,
                    int chosen) {
        out << heading.arg(ports.size()) << '\n';
        for (std::size_t i = 0; i < ports.size(); ++i)
            out << "  " << i << "  " << QString::fromStdString(ports[i].name) << "  -- "
                << portSeen(search, ports[i], int(i), outputs, chosen).text << '\n';
    };
    list(CliText::tr("Inputs (%1):"), search.inputs, false, found.ok() ? search.inPort : -1);
    list(CliText::tr("Outputs (%1):"), search.outputs, true, found.ok() ? search.outPort : -1);
    if (search.otherDeviceSeen) out << CliText::tr("Another device answered as well.") << '\n';
    if (found.ok())
        out << CliText::tr("The Korvalen25 answers on input %1 and output %2.")
                   .arg(search.inPort)
                   .arg(search.outPort)
            << '\n';
    return found;
}

Outcome getCommand(const QString& port, int number, const QString& path, QTextStream& out) {
    DeviceSession session(midiLink);
    Preset preset;
    if (Outcome r = session.connect(port); !r.ok()) return r;
    if (Outcome r = session.upload(number, preset); !r.ok())
        return with(r, CliText::tr("nothing was written, try again"));
    // A ".syx" file stores the preset under the number it was read from.
    if (isSyxPath(path)) preset.presetNumber = static_cast<std::uint8_t>(number);
    if (Outcome r = writePresetFile(path, preset); !r.ok()) return r;
    out << CliText::tr("%1 saved to %2").arg(describe(number), QDir::toNativeSeparators(path))
        << '\n';
    return Outcome::done();
}

// A file that the editor's model would take whole; anything else would reach the device
// only in part.
Outcome checkInRange(const QString& path, const Preset& preset) {
    const QStringList faults = outOfRangeFields(preset);
    if (faults.isEmpty()) return Outcome::done();
    return Outcome::fail(kBadFile, CliText::tr("\"%1\" holds %2 value(s) out of range (%3); "
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
    return CliText::tr("nothing was sent (--no-snapshot writes without one)");
}

// Stores `preset` as device preset `number`; the link reads it back and sends again what did
// not arrive. The preset stored there is read first and kept as a snapshot, its dump as it came
// (also when it holds values the boxes cannot show). A file alone holds no zone channels: the
// preset keeps the ones it has on the device, as the editor's model keeps its own when it loads
// a file, unless `ownZoneChannels` (a snapshot, or a file with its channels beside it, as get
// writes them). A snapshot's dump goes out
// `asHeld`: every value as the controller held it.
Outcome store(DeviceSession& session, Preset preset, int number, Written& written,
              Snapshot& snapshot, bool ownZoneChannels = false, bool asHeld = false) {
    written = Written::Untouched;
    const QString name = shownPresetName(number);
    Preset current;
    ReadResult read;
    const Outcome uploaded = session.upload(number, current, read);
    if (!SnapshotResult::keepable(read)) {
        if (snapshot.required)
            return with(uploaded, CliText::tr("no snapshot of %1 could be kept, so %2")
                                      .arg(name, withoutSnapshotHint()));
        snapshot.note = CliText::tr("No snapshot of %1 was kept: %2.").arg(name, uploaded.message);
        if (!ownZoneChannels)
            snapshot.note += CliText::tr(" Its keyboard zones now send on channel 1.");
    } else {
        const SnapshotResult kept =
            keepSnapshot(current, read, number, SnapshotSource::ofLink(), PresetHistory());
        if (kept.path.isEmpty() && snapshot.required)
            return Outcome::fail(kBadFile, CliText::tr("cannot keep a snapshot of %1: %2; %3")
                                               .arg(name, kept.writeError, withoutSnapshotHint()));
        if (kept.path.isEmpty())
            snapshot.note =
                CliText::tr("No snapshot of %1 was kept: %2.").arg(name, kept.writeError);
        snapshot.kept = kept.path;
        if (!ownZoneChannels) {
            // The zone channels as the controller holds them, also one the boxes cannot show.
            Preset raw;
            const Preset& held = presetFromDump(read.dump, raw) ? raw : current;
            for (int z = 0; z < 3; ++z)
                preset.values.zones[z].chan = held.values.zones[z].chan;
        }
    }
    preset.presetNumber = static_cast<std::uint8_t>(number);
    DownloadResult result;
    const Outcome r = session.download(preset, number, result,
                                       asHeld ? DownloadValues::AsHeld : DownloadValues::InRange);
    written = r.ok()           ? Written::Whole
              : result.endSent ? Written::MaybeIncomplete
                               : Written::Untouched;
    return r;
}

// The lines a write prints about its snapshot.
void tellSnapshot(const Snapshot& snapshot, int number, QTextStream& out) {
    if (!snapshot.note.isEmpty()) out << snapshot.note << '\n';
    if (!snapshot.kept.isEmpty())
        out << CliText::tr("%1 as it was before is kept in %2")
                   .arg(shownPresetName(number), QDir::toNativeSeparators(snapshot.kept))
            << '\n';
}

// What became of the preset a failed write was aimed at.
QString aftermath(Written written, int number) {
    return written == Written::MaybeIncomplete
               ? CliText::tr("%1 may now be incomplete on the controller")
                     .arg(shownPresetName(number))
               : CliText::tr("%1 on the controller was not changed").arg(shownPresetName(number));
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
        const QString what =
            p.readingBack ? CliText::tr("reading it back")
            : p.round == 1
                ? CliText::tr("%1 of %2 messages").arg(p.sent).arg(p.total)
                : CliText::tr("sending again, slower: %1 of %2 messages").arg(p.sent).arg(p.total);
        out << "\r\x1b[K" << name << ": " << what;
        if (p.readingBack) out << '\n';
        out.flush();
    };
}

Outcome putCommand(const QString& port, const QString& path, int number, bool snapshotRequired,
                   bool force, QTextStream& out, bool terminal) {
    Preset preset;
    bool ownChannels = false;
    if (Outcome r = readPresetFile(path, preset, &ownChannels); !r.ok()) return r;
    if (Outcome r = checkInRange(path, preset); !r.ok()) return r;
    // The factory preset is written only when the user names it, or says so with --force.
    if (number < 0 && preset.presetNumber == 0 && !force)
        return Outcome::fail(kUsage, CliText::tr("\"%1\" names P01, the factory preset; give the "
                                                 "preset to store it as (P01, P17-P30), or --force "
                                                 "to write P01; nothing was sent")
                                         .arg(QDir::toNativeSeparators(path)));
    if (number < 0) number = preset.presetNumber;
    if (presetNameFor(number) == nullptr) {
        return Outcome::fail(kBadFile,
                             CliText::tr("\"%1\" names preset number %2, which the device does "
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
    if (Outcome r = store(session, preset, number, written, snapshot, ownChannels); !r.ok())
        return with(r, aftermath(written, number));
    out << CliText::tr("%1 stored as %2").arg(QDir::toNativeSeparators(path), describe(number))
        << '\n';
    tellSnapshot(snapshot, number, out);
    return Outcome::done();
}

// The snapshot of `number` that undo-put writes back: the last one taken from the controller
// connected now, or with `fromOther` the last one taken from any controller (by the time its
// file was written, across the folders of real and simulated controllers).
Outcome snapshotToPutBack(int number, bool fromOther, SnapshotInfo& chosen) {
    const SnapshotSource here = SnapshotSource::ofLink();
    const PresetHistory own = PresetHistory::of(here);
    const PresetHistory other(own.baseFolder(), !here.simulated);
    const auto ownLatest = own.latest(number);
    const auto otherLatest = other.latest(number);
    const QString name = shownPresetName(number);
    if (fromOther) {
        if (ownLatest && otherLatest)
            chosen = QFileInfo(otherLatest->path).lastModified() >
                             QFileInfo(ownLatest->path).lastModified()
                         ? *otherLatest
                         : *ownLatest;
        else
            chosen = ownLatest ? *ownLatest : *otherLatest;
        return Outcome::done();
    }
    if (!ownLatest)
        return Outcome::fail(kBadFile,
                             CliText::tr("there is no snapshot of %1 from %2 in \"%3\"; the "
                                         "snapshots in \"%4\" are of another controller, "
                                         "nothing was sent (--from-other writes one back "
                                         "anyway)")
                                 .arg(name, here.describe(), QDir::toNativeSeparators(own.folder()),
                                      QDir::toNativeSeparators(other.folder())));
    if (!ownLatest->source.sameController(here))
        return Outcome::fail(kBadFile,
                             CliText::tr("the last snapshot of %1 (%2) was taken from %3, not "
                                         "from %4 connected now; nothing was sent "
                                         "(--from-other writes it back anyway)")
                                 .arg(name, QDir::toNativeSeparators(ownLatest->path),
                                      ownLatest->source.describe(), here.describe()));
    chosen = *ownLatest;
    return Outcome::done();
}

// Writes back the latest snapshot of `number`, as the controller sent it: its dump, zone
// channels and values the boxes cannot show included. The preset it replaces is kept as a
// snapshot in turn, so a second undo-put undoes the first.
Outcome undoPutCommand(const QString& port, int number, bool snapshotRequired, bool fromOther,
                       QTextStream& out, bool terminal) {
    // Nothing to write back: said before any controller is asked.
    const PresetHistory real, simulated(real.folder(), true);
    if (!real.latest(number) && !simulated.latest(number)) {
        const bool virtualApi =
            SnapshotSource::isSimulated(QString::fromStdString(midi::platform().apiName()), {});
        return Outcome::fail(
            kBadFile, CliText::tr("there is no snapshot of %1 in \"%2\"")
                          .arg(shownPresetName(number),
                               QDir::toNativeSeparators((virtualApi ? simulated : real).folder())));
    }
    DeviceSession session(midiLink);
    if (Outcome r = session.connect(port); !r.ok()) return r;
    SnapshotInfo latest;
    if (Outcome r = snapshotToPutBack(number, fromOther, latest); !r.ok()) return r;
    SnapshotContents contents;
    QString error;
    if (!readSnapshot(latest, contents, &error)) return Outcome::fail(kBadFile, error);
    // A preset file is checked as put checks one; a dump goes back as the controller sent it,
    // unless it holds a value that no message can carry as it is.
    if (!contents.fromDump)
        if (Outcome r = checkInRange(latest.path, contents.preset); !r.ok()) return r;
    if (contents.wideValues > 0)
        return Outcome::fail(kBadFile, CliText::tr("\"%1\" holds %2 value(s) wider than a "
                                                   "byte, which cannot be sent back; nothing "
                                                   "was sent")
                                           .arg(QDir::toNativeSeparators(latest.dumpPath))
                                           .arg(contents.wideValues));
    if (contents.fromDump)
        if (const auto bad = unsendableAsHeld(contents.preset.values); !bad.empty())
            return Outcome::fail(
                kBadFile,
                CliText::tr("\"%1\" holds %2 value(s) that cannot be sent back as they are "
                            "(%3: %4); nothing was sent")
                    .arg(QDir::toNativeSeparators(latest.dumpPath))
                    .arg(bad.size())
                    .arg(translated(fieldNameText(bad.front())))
                    .arg(valueOf(contents.preset.values, bad.front())));
    StoredPreset stored;
    const bool ownChannels =
        contents.fromDump || (readStoredPreset(latest.path, stored) && stored.zoneChannelsKnown);
    session.setProgressHandler(downloadProgress(out, terminal, number));
    Written written = Written::Untouched;
    Snapshot snapshot{snapshotRequired, {}, {}};
    if (Outcome r = store(session, contents.preset, number, written, snapshot, ownChannels,
                          contents.fromDump);
        !r.ok())
        return with(r, aftermath(written, number));
    out << CliText::tr("%1 put back as it was at %2 (%3)")
               .arg(describe(number), snapshotTime(latest), QDir::toNativeSeparators(latest.path))
        << '\n';
    tellSnapshot(snapshot, number, out);
    return Outcome::done();
}

Outcome backupCommand(const QString& port, const QString& dirPath, bool syx, QTextStream& out) {
    DeviceSession session(midiLink);
    if (Outcome r = session.connect(port); !r.ok()) return r;
    // Every preset is read before any file is written: a failed transfer writes nothing.
    std::vector<Preset> presets(kDevicePresets.size());
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i) {
        if (Outcome r = session.upload(kDevicePresets[i], presets[i]); !r.ok())
            return with(r, CliText::tr("nothing was written, try again"));
        out << CliText::tr("%1 read").arg(describe(kDevicePresets[i])) << '\n';
        out.flush();
    }
    const QDir dir(dirPath);
    if (!dir.mkpath(QStringLiteral(".")))
        return Outcome::fail(
            kBadFile,
            CliText::tr("cannot create the folder \"%1\"").arg(QDir::toNativeSeparators(dirPath)));
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i)
        if (Outcome r =
                writePresetFile(dir.filePath(backupFileName(kDevicePresets[i], syx)), presets[i]);
            !r.ok())
            return r;
    out << CliText::tr("%1 presets saved in %2")
               .arg(kDevicePresets.size())
               .arg(QDir::toNativeSeparators(dirPath))
        << '\n';
    return Outcome::done();
}

Outcome restoreCommand(const QString& port, const QString& dirPath, bool snapshotRequired,
                       QTextStream& out, bool terminal) {
    const QDir dir(dirPath);
    if (!dir.exists())
        return Outcome::fail(
            kBadFile,
            CliText::tr("there is no folder \"%1\"").arg(QDir::toNativeSeparators(dirPath)));
    // Every file is read and checked before anything is sent.
    std::vector<Preset> presets(kDevicePresets.size());
    std::vector<char> ownChannels(kDevicePresets.size(), 0);
    std::vector<std::size_t> missing;
    bool anySav = false, anySyx = false;
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i) {
        // Each preset from its ".sav" file or its ".syx" file, never from a choice of both.
        const QString sav = dir.filePath(backupFileName(kDevicePresets[i]));
        const QString syx = dir.filePath(backupFileName(kDevicePresets[i], true));
        const bool hasSav = QFileInfo::exists(sav), hasSyx = QFileInfo::exists(syx);
        if (hasSav && hasSyx)
            return Outcome::fail(kBadFile, CliText::tr("\"%1\" holds both %2 and %3; remove "
                                                       "the one not to restore; nothing was "
                                                       "sent")
                                               .arg(QDir::toNativeSeparators(dirPath),
                                                    backupFileName(kDevicePresets[i]),
                                                    backupFileName(kDevicePresets[i], true)));
        if (!hasSav && !hasSyx) {
            missing.push_back(i);
            continue;
        }
        anySav = anySav || hasSav;
        anySyx = anySyx || hasSyx;
        const QString path = hasSav ? sav : syx;
        bool known = false;
        if (Outcome r = readPresetFile(path, presets[i], &known); !r.ok()) return r;
        if (Outcome r = checkInRange(path, presets[i]); !r.ok()) return r;
        ownChannels[i] = known;
    }
    if (!missing.empty()) {
        // The missing files are named as the folder's others are: .syx in a backup of .syx.
        const bool syxFolder = anySyx && !anySav;
        QStringList names;
        for (std::size_t i : missing)
            names << backupFileName(kDevicePresets[i], syxFolder);
        return Outcome::fail(kBadFile, CliText::tr("\"%1\" is not a complete backup: %2 missing; "
                                                   "nothing was sent")
                                           .arg(QDir::toNativeSeparators(dirPath),
                                                names.join(QStringLiteral(", "))));
    }

    DeviceSession session(midiLink);
    if (Outcome r = session.connect(port); !r.ok()) return r;
    bool kept = false;
    for (std::size_t i = 0; i < kDevicePresets.size(); ++i) {
        session.setProgressHandler(downloadProgress(out, terminal, kDevicePresets[i]));
        Written written = Written::Untouched;
        Snapshot snapshot{snapshotRequired, {}, {}};
        if (Outcome r = store(session, presets[i], kDevicePresets[i], written, snapshot,
                              ownChannels[i] != 0);
            !r.ok()) {
            // Which presets are on the controller whole, which one may not be, which were not
            // touched.
            QStringList whole, untouched;
            for (std::size_t k = 0; k < kDevicePresets.size(); ++k)
                if (k != i) (k < i ? whole : untouched) << shownPresetName(kDevicePresets[k]);
            if (written == Written::Untouched)
                untouched.prepend(shownPresetName(kDevicePresets[i]));
            QStringList parts;
            parts
                << (whole.isEmpty()
                        ? CliText::tr("no preset was restored")
                        : CliText::tr("restored whole: %1").arg(whole.join(QStringLiteral(", "))));
            if (written == Written::MaybeIncomplete) parts << aftermath(written, kDevicePresets[i]);
            if (!untouched.isEmpty())
                parts << CliText::tr("not changed: %1").arg(untouched.join(QStringLiteral(", ")));
            return with(r, parts.join(QStringLiteral("; ")));
        }
        out << CliText::tr("%1 restored").arg(describe(kDevicePresets[i])) << '\n';
        if (!snapshot.note.isEmpty()) out << snapshot.note << '\n';
        kept = kept || !snapshot.kept.isEmpty();
        out.flush();
    }
    if (kept)
        out << CliText::tr("The presets as they were before are kept in %1")
                   .arg(QDir::toNativeSeparators(
                       PresetHistory::of(SnapshotSource::ofLink()).folder()))
            << '\n';
    out << CliText::tr("%1 presets restored from %2")
               .arg(kDevicePresets.size())
               .arg(QDir::toNativeSeparators(dirPath))
        << '\n';
    return Outcome::done();
}

// --- The command table -----------------------------------------------------------------------

// What a command gets from the command line once it has been checked.
struct Invocation {
    QStringList rest; // the arguments after the command's name
    QString port;     // --port
    bool json = false;
    bool snapshotRequired = true; // no --no-snapshot
    bool fromOther = false;       // --from-other
    bool force = false;           // --force
    bool syx = false;             // --syx
    QString output;               // -o
    int number = -1;              // the preset argument, when the command has one
    const RunOptions* options = nullptr;
    QTextStream* out = nullptr;
    QTextStream* err = nullptr;
};

// One command: which options go with it, which argument is a preset, whether it needs the
// MIDI backend, and what it does.
struct CommandRunner {
    const char* name;
    // The position of the preset argument (-1: none); `presetOptional`: the argument may be
    // missing (history) or a file's own preset is taken (put).
    int presetAt;
    bool json;          // takes --json
    bool writes;        // takes --no-snapshot
    bool fromOther;     // takes --from-other
    bool output;        // takes -o
    bool printsTraffic; // --verbose prints its MIDI traffic through a VerbosePrinter
    // Needs the MIDI backend: always, never, or (diff) only for a preset of the controller.
    bool (*usesBackend)(const Invocation&);
    Outcome (*run)(const Invocation&);
};

bool always(const Invocation&) {
    return true;
}
bool never(const Invocation&) {
    return false;
}

const CommandRunner kRunners[] = {
    {"ports", -1, true, false, false, false, true, always,
     [](const Invocation& c) { return portsCommand(c.port, c.json, *c.out); }},
    {"get", 0, false, false, false, false, true, always,
     [](const Invocation& c) { return getCommand(c.port, c.number, c.rest[1], *c.out); }},
    {"put", 1, false, true, false, false, true, always,
     [](const Invocation& c) {
         return putCommand(c.port, c.rest[0], c.number, c.snapshotRequired, c.force, *c.out,
                           c.options->terminal);
     }},
    {"show", -1, true, false, false, false, false, never,
     [](const Invocation& c) { return showCommand(c.rest[0], c.json, *c.out); }},
    {"diff", -1, true, false, false, false, false,
     [](const Invocation& c) {
         return parsePresetName(c.rest[0]).has_value() || parsePresetName(c.rest[1]).has_value();
     },
     [](const Invocation& c) {
         bool differ = false;
         Outcome r = diffCommand(c.port, c.rest[0], c.rest[1], c.json, *c.out, differ);
         // Presets that differ end with kDiffer and no error line.
         if (r.ok() && differ) r.code = kDiffer;
         return r;
     }},
    {"backup", -1, false, false, false, false, true, always,
     [](const Invocation& c) { return backupCommand(c.port, c.rest[0], c.syx, *c.out); }},
    {"restore", -1, false, true, false, false, true, always,
     [](const Invocation& c) {
         return restoreCommand(c.port, c.rest[0], c.snapshotRequired, *c.out, c.options->terminal);
     }},
    {"history", 0, true, false, false, false, false, never,
     [](const Invocation& c) { return historyCommand(c.number, c.json, *c.out); }},
    {"undo-put", 0, false, true, true, false, true, always,
     [](const Invocation& c) {
         return undoPutCommand(c.port, c.number, c.snapshotRequired, c.fromOther, *c.out,
                               c.options->terminal);
     }},
    {"flash", -1, false, false, false, false, true, always,
     [](const Invocation& c) {
         return flashCommand(c.rest[0], *c.out, c.options->terminal, c.port);
     }},
    {"monitor", -1, false, false, false, false, false, always,
     [](const Invocation& c) {
         return monitorCommand(c.port, *c.out, *c.err, c.options->monitorKeepGoing);
     }},
    {"diagnostics", -1, false, false, false, true, true, always,
     [](const Invocation& c) { return diagnosticsCommand(c.port, c.output, *c.out); }},
};

const CommandRunner* runnerFor(const QString& name) {
    for (const CommandRunner& r : kRunners)
        if (name == QLatin1String(r.name)) return &r;
    return nullptr;
}

// The commands that take an option, for the line that says where it goes.
QString takers(bool CommandRunner::*option) {
    QStringList names;
    for (const CommandRunner& r : kRunners)
        if (r.*option) names << QLatin1String(r.name);
    if (names.size() == 1) return CliText::tr("%1 only").arg(names.first());
    const QString last = names.takeLast();
    return CliText::tr("%1 and %2 only").arg(names.join(QStringLiteral(", ")), last);
}

// The options of the command line.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            CliText::tr("Show this help and exit; after a command, that "
                                        "command's help.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               CliText::tr("Show the version and exit.")};
    QString apiHelp;
    QCommandLineOption api{QStringLiteral("midi-api")};
    QCommandLineOption json{QStringLiteral("json"),
                            CliText::tr("ports, show, diff, history: print as JSON.")};
    QCommandLineOption sendPause{
        QStringLiteral("send-pause"),
        CliText::tr("put, restore: a pause of MS milliseconds (0-1000) after each message of a "
                    "download, for a controller that cannot keep up (default: "
                    "KORVALEN_SEND_PAUSE_MS, else none; a download that does not arrive whole "
                    "is sent again more slowly in any case)."),
        QStringLiteral("MS")};
    QCommandLineOption port{
        QStringLiteral("port"),
        CliText::tr("The controller to use when more than one answers: a part of its MIDI port "
                    "name, in any case."),
        QStringLiteral("NAME")};
    QCommandLineOption noSnapshot{
        QStringLiteral("no-snapshot"),
        CliText::tr("put, restore, undo-put: write even when the preset to be replaced "
                    "cannot be read and kept as a snapshot.")};
    QCommandLineOption fromOther{
        QStringLiteral("from-other"),
        CliText::tr("undo-put: write back a snapshot taken from another controller (a "
                    "simulated one, or one on another port).")};
    QCommandLineOption force{
        QStringLiteral("force"),
        CliText::tr("put: write a file that names P01, the factory preset, without PRESET.")};
    QCommandLineOption syx{
        QStringLiteral("syx"),
        CliText::tr("backup: write P01.syx, P17.syx ... (SysEx that any MIDI tool can play to "
                    "the controller) instead of .sav files.")};
    QCommandLineOption verbose{
        QStringLiteral("verbose"),
        CliText::tr("Print every MIDI message of the command on stderr, in words.")};
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              CliText::tr("diagnostics: write the report to FILE."),
                              QStringLiteral("FILE")};

    Options() {
        QStringList apiNames;
        for (const std::string& n : midi::platformApiNames())
            apiNames << QString::fromStdString(n);
        apiHelp = CliText::tr("MIDI backend: %1 (default: KORVALEN_MIDI_API, else auto).")
                      .arg(apiNames.join(QStringLiteral(", ")));
        api = QCommandLineOption(QStringLiteral("midi-api"), apiHelp, QStringLiteral("NAME"));
    }
    void addTo(QCommandLineParser& parser) const {
        parser.addOptions({help, version, api, json, sendPause, noSnapshot, fromOther, port});
        parser.addOptions({verbose, output, force, syx});
    }
};

// The help that "--help", "help", "help COMMAND" and "COMMAND --help" print.
Outcome printHelp(const QCommandLineParser& parser, const Options& o, const Command* command,
                  const QStringList& rest, QTextStream& out) {
    const QString name = command ? QLatin1String(command->name) : QString();
    const Command* about = command;
    if (name == QLatin1String("help") && !parser.isSet(o.help)) {
        if (rest.size() > 1)
            return usage(CliText::tr("usage: korvalen25-cli %1").arg(QLatin1String(command->usage)),
                         name);
        about = rest.isEmpty() ? nullptr : findCommand(rest[0]);
        if (!rest.isEmpty() && about == nullptr)
            return usage(CliText::tr("unknown command \"%1\"").arg(rest[0]));
    }
    if (about) {
        out << commandHelp(*about, o.apiHelp);
    } else {
        // The program's name, not the path it was started by (the manual page is made from
        // this text).
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1Char('\n')),
                     CliText::tr("Usage: korvalen25-cli [options] command [arguments]\n"));
        out << text;
    }
    return Outcome::done();
}

// Checks the options against the command and fills `c`.
Outcome checkOptions(const QCommandLineParser& parser, const Options& o, const Command& command,
                     const CommandRunner& runner, Invocation& c) {
    const QString name = QLatin1String(command.name);
    if (c.rest.size() < command.minArgs || c.rest.size() > command.maxArgs)
        return usage(CliText::tr("usage: korvalen25-cli %1").arg(QLatin1String(command.usage)),
                     name);
    c.port = parser.value(o.port);
    if (parser.isSet(o.port) && !command.usesDevice)
        return usage(CliText::tr("--port goes with the commands that use the controller"), name);
    if (parser.isSet(o.port) && c.port.trimmed().isEmpty())
        return usage(CliText::tr("--port takes a part of a MIDI port name"), name);
    c.json = parser.isSet(o.json);
    if (c.json && !runner.json)
        return usage(CliText::tr("--json goes with %1").arg(takers(&CommandRunner::json)),
                     QStringLiteral("show"));
    c.snapshotRequired = !parser.isSet(o.noSnapshot);
    if (!c.snapshotRequired && !runner.writes)
        return usage(CliText::tr("--no-snapshot goes with %1").arg(takers(&CommandRunner::writes)),
                     QStringLiteral("put"));
    c.fromOther = parser.isSet(o.fromOther);
    if (c.fromOther && !runner.fromOther)
        return usage(
            CliText::tr("--from-other goes with %1").arg(takers(&CommandRunner::fromOther)),
            QStringLiteral("undo-put"));
    c.force = parser.isSet(o.force);
    if (c.force && name != QLatin1String("put"))
        return usage(CliText::tr("--force goes with put only"), QStringLiteral("put"));
    c.syx = parser.isSet(o.syx);
    if (c.syx && name != QLatin1String("backup"))
        return usage(CliText::tr("--syx goes with backup only"), QStringLiteral("backup"));
    c.output = parser.value(o.output);
    if (parser.isSet(o.output) && !runner.output)
        return usage(CliText::tr("-o goes with diagnostics only"), QStringLiteral("diagnostics"));
    // Each command starts at full speed; a download slows down as the controller needs.
    SendPace::session().setBytesPerSecond(0);
    if (parser.isSet(o.sendPause)) {
        unsigned ms = 0;
        if (!SendPace::parsePause(parser.value(o.sendPause).toStdString(), ms))
            return usage(CliText::tr("--send-pause takes milliseconds from 0 to 1000"));
        SendPace::session().setPauseMs(ms);
    }
    // get, undo-put: the preset to read or write; put: the one to store as, -1 the file's own;
    // history: the one to list, -1 all.
    if (runner.presetAt >= 0 && runner.presetAt < c.rest.size())
        if (Outcome r = presetArgument(c.rest[runner.presetAt], name, c.number); !r.ok()) return r;
    return Outcome::done();
}

} // namespace

int run(const QStringList& args, QTextStream& out, QTextStream& err, const RunOptions& options) {
    const Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(CliText::tr(kIntroduction) + commandList() +
                                     CliText::tr(kPresetsAndExitCodes));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    o.addTo(parser);
    parser.addPositionalArgument(
        QStringLiteral("command"),
        CliText::tr("ports, get, put, show, diff, backup, restore, history, undo-put, flash, "
                    "monitor, diagnostics or help."),
        CliText::tr("command [arguments]"));

    auto finish = [&](const Outcome& r) {
        if (!r.ok() && !r.message.isEmpty()) err << "korvalen25-cli: " << r.message << '\n';
        out.flush();
        err.flush();
        return r.code;
    };

    if (!parser.parse(args)) return finish(usage(parser.errorText()));
    const QStringList positional = parser.positionalArguments();
    const Command* command = positional.isEmpty() ? nullptr : findCommand(positional.first());
    if (!positional.isEmpty() && command == nullptr)
        return finish(usage(CliText::tr("unknown command \"%1\"").arg(positional.first())));
    Invocation c;
    c.rest = positional.mid(1);
    c.options = &options;
    c.out = &out;
    c.err = &err;
    if (parser.isSet(o.help) || (command && QLatin1String(command->name) == QLatin1String("help")))
        return finish(printHelp(parser, o, command, c.rest, out));
    if (parser.isSet(o.version)) {
        out << "korvalen25-cli " << QCoreApplication::applicationVersion() << '\n';
        return finish(Outcome::done());
    }
    if (command == nullptr) return finish(usage(CliText::tr("no command given")));
    const CommandRunner* runner = runnerFor(QLatin1String(command->name));
    if (runner == nullptr)
        return finish(usage(CliText::tr("unknown command \"%1\"").arg(positional.first())));
    if (Outcome r = checkOptions(parser, o, *command, *runner, c); !r.ok()) return finish(r);

    if (runner->usesBackend(c))
        if (Outcome r = openPlatform(args, options); !r.ok()) return finish(r);
    std::optional<VerbosePrinter> traffic;
    if (parser.isSet(o.verbose) && runner->printsTraffic) traffic.emplace(err);
    const Outcome result = runner->run(c);
    if (traffic) traffic->stop();
    return finish(result);
}

} // namespace korvalen::cli
