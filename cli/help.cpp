#include "help.h"
#include "clitext.h"

#include <QStringList>

namespace korvalen::cli {

namespace {

constexpr Command kCommands[] = {
    {"ports", 0, 0, "ports [--json]",
     QT_TRANSLATE_NOOP("CliText", "list the MIDI ports and the one the Korvalen25 answers on"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Lists the MIDI input and output ports, probes each output for a Korvalen25
and tells which pair of ports it answers on. With no MIDI port at all it
gives up after about a second.
)"),
     "", QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli ports
  korvalen25-cli --midi-api jack ports     the ports of a JACK server
  korvalen25-cli --port "MIDI 2" ports    which ports the second controller uses
  korvalen25-cli ports --json             the same for scripts
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  the Korvalen25 answered
  1  it did not answer, or a port failed
  2  wrong command line
)"),
     true},
    {"get", 2, 2, "get PRESET FILE.sav",
     QT_TRANSLATE_NOOP("CliText", "read device preset PRESET into a preset file"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Reads preset PRESET from the Korvalen25 and saves it in FILE.sav, in the
editor's preset file format. A name ending in .syx gets the SysEx that
stores the preset, the keyboard zones' channels included, when any MIDI
tool plays it to the controller. FILE.sav is written only once the whole
preset has been read: after a failure a file that was there is as it was.
)"),
     QT_TRANSLATE_NOOP(
         "CliText", "  PRESET      P01 (the factory preset \"Korvalen\") or P17 to P30 (the user\n "
                    "             presets), or the device's numbers for them, 0 and 16 to 29\n"
                    "  FILE.sav    the preset file to write (.sav, or .syx for SysEx)\n"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(  korvalen25-cli get P17 lead.sav         save user preset P17 in lead.sav
  korvalen25-cli get P17 lead.syx         the same as SysEx
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  saved
  1  no controller, or the transfer failed
  2  wrong command line
  3  FILE.sav cannot be written
)"),
     true},
    {"put", 1, 2, "put FILE.sav [PRESET]",
     QT_TRANSLATE_NOOP("CliText", "write a preset file to the device as PRESET (default: the\n"
                                  "preset number stored in the file)"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Writes the preset file FILE.sav to the Korvalen25 as preset PRESET, then
reads the preset back to check that it arrived whole. Without PRESET the
preset number stored in the file is used; when that is P01, the factory
preset, --force must say so. The keyboard zones get the MIDI channels kept
beside the file (FILE.zones.json, as get writes it); without that file they
keep the channels they have on the device. A .syx file (the messages get
writes, or a controller's dump such as a snapshot's .syx) carries the
channels itself. A file with a
value out of range is refused before anything is sent. What does not read
back as sent is sent again, more slowly, for up to three more rounds; a
controller that needs a pause between messages from the start gets one
with --send-pause MS or KORVALEN_SEND_PAUSE_MS. A failure says whether the
preset on the device may now be incomplete or was not changed. The preset
that was on the device is read first and kept as a snapshot (see history
and undo-put); when it cannot be read or kept nothing is sent, unless
--no-snapshot is given.
)"),
     QT_TRANSLATE_NOOP(
         "CliText", "  FILE.sav    the preset file to write to the device (.sav or "
                    ".syx)\n"
                    "  PRESET      P01 (the factory preset \"Korvalen\") or P17 to P30 (the user\n "
                    "             presets), or the device's numbers for them, 0 and 16 to 29\n"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(  korvalen25-cli put lead.sav             store it under its own number
  korvalen25-cli put lead.sav P20         store it as user preset P20
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  stored, and it reads back the same
  1  no controller, the transfer failed or the preset reads back different
  2  wrong command line
  3  FILE.sav cannot be read, is not a preset file or holds a value out of
     range, or the snapshot cannot be written
)"),
     true},
    {"show", 1, 1, "show [--json] FILE.sav",
     QT_TRANSLATE_NOOP("CliText", "print a preset file as text (--json for scripts)"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Prints a preset file: every control of every bank and the three keyboard
zones, each value as the editor shows it. No controller is needed.
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  FILE.sav    the preset file to show (.sav or .syx)
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli show lead.sav
  korvalen25-cli show --json lead.sav     the same as JSON
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  shown
  2  wrong command line
  3  FILE.sav cannot be read or is not a preset file
)"),
     false},
    {"backup", 1, 1, "backup [--syx] DIR",
     QT_TRANSLATE_NOOP("CliText", "read all 15 presets into DIR, one file each: P01.sav,\n"
                                  "P17.sav ... P30.sav"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Reads all 15 presets of the Korvalen25 and saves them in the folder DIR,
which is made if it does not exist, one preset file each: P01.sav, P17.sav
... P30.sav; with --syx P01.syx ... P30.syx, SysEx that any MIDI tool can
play to the controller. Every preset is read before any file is written, so
a transfer that fails writes nothing.
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  DIR         the folder to save the presets in
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli backup ~/korvalen-backup
  korvalen25-cli backup --syx ~/korvalen-syx
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  saved
  1  no controller, or a transfer failed
  2  wrong command line
  3  DIR or a file in it cannot be written
)"),
     true},
    {"restore", 1, 1, "restore DIR",
     QT_TRANSLATE_NOOP("CliText", "write the 15 files of a backup in DIR back to the device"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Writes the 15 preset files of a backup in the folder DIR (P01.sav, P17.sav
... P30.sav, or the same names ending in .syx) back to the Korvalen25, and
reads each preset back to check it (sending again, more slowly, what did
not arrive, as put does; see --send-pause there). All files are read and
checked before anything is sent. A failure names the presets restored
whole, the one that may now be incomplete and those not changed. Each
preset on the device is kept as a snapshot before it is replaced, as put
does.
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  DIR         a folder written by the backup command
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli restore ~/korvalen-backup
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  restored
  1  no controller, a transfer failed or a preset reads back different
  2  wrong command line
  3  DIR is missing, lacks a file, or holds one that is not a preset file or
     has a value out of range, or a snapshot cannot be written
)"),
     true},
    {"diff", 2, 2, "diff [--json] A B",
     QT_TRANSLATE_NOOP("CliText", "compare two presets, each a preset file or a device\n"
                                  "preset such as P17"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Compares two presets control by control and lists where they differ: the
control, its bank, the field and the two values, as the editor's boxes show
them. A and B are each a preset file (.sav or .syx, a snapshot too) or a
preset of the Korvalen25 given as PRESET; a file named like a preset is
given as ./P17.
A .sav file holds no channels for the keyboard zones, so they are compared
only between presets of the device, snapshots and .syx files.
)"),
     QT_TRANSLATE_NOOP("CliText",
                       "  A, B        a preset file, or PRESET: P01 or P17 to P30 on the device\n"),
     QT_TRANSLATE_NOOP(
         "CliText", R"(  korvalen25-cli diff lead.sav P17        what a put of lead.sav would change
  korvalen25-cli diff --json a.sav b.sav  the same as JSON
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  the presets are the same
  1  they differ, or no controller, or the transfer failed
  2  wrong command line
  3  a file cannot be read or is not a preset file
)"),
     true},
    {"history", 0, 1, "history [--json] [PRESET]",
     QT_TRANSLATE_NOOP("CliText", "list the snapshots kept before writes (of PRESET, or all)"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Lists the snapshots that put, restore, undo-put and the editor's DownLoad
kept of the presets they replaced on the device, the last taken first: the
preset, when it was taken and its file; those of simulated controllers come
after, marked as such. The last 50 of each preset are kept, in
KORVALEN_HISTORY_DIR or else korvalen25/history in the user's data folder
(simulated controllers' in its folder "simulated"). No controller is needed.
)"),
     QT_TRANSLATE_NOOP("CliText",
                       "  PRESET      only the snapshots of this preset (P01, P17 to P30)\n"),
     QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli history P17
  korvalen25-cli history --json           every snapshot, for scripts
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  listed (also when there are none)
  2  wrong command line
)"),
     false},
    {"undo-put", 1, 1, "undo-put PRESET",
     QT_TRANSLATE_NOOP("CliText", "write the latest snapshot of PRESET back to the device"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Writes the latest snapshot of PRESET back to the Korvalen25 as the
controller sent it, the keyboard zones' channels included, and reads it back
to check it as put does. What it replaces is kept as a snapshot in turn, so a
second undo-put undoes the first. Values the editor cannot show are written
back as they were. A snapshot taken from another controller (a simulated one,
one of another identity, or one on another port when the snapshot records no
identity) is refused unless --from-other is given.
)"),
     QT_TRANSLATE_NOOP(
         "CliText", "  PRESET      P01 (the factory preset \"Korvalen\") or P17 to P30 (the user\n "
                    "             presets), or the device's numbers for them, 0 and 16 to 29\n"),
     QT_TRANSLATE_NOOP(
         "CliText", R"(  korvalen25-cli undo-put P17             P17 as it was before the last write
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  written back, and it reads back the same
  1  no controller, the transfer failed or the preset reads back different
  2  wrong command line
  3  there is no snapshot of PRESET, it cannot be read, it holds a value that
     cannot be sent as it is, or it was taken from another controller (and no
     --from-other)
)"),
     true},
    {"flash", 1, 1, "flash FILE.bin",
     QT_TRANSLATE_NOOP("CliText", "write a firmware image into a controller started in its\n"
                                  "upgrade mode"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Writes the firmware image FILE.bin into a Korvalen25 that was started in
its upgrade mode, and shows the progress: a bar on a terminal, a line at
every tenth of the image otherwise. When more than one controller is in
upgrade mode, --port chooses the one to flash; without it they are listed
and none is flashed. Ctrl-C stops it; the controller is then
left with incomplete firmware and must be started in upgrade mode and
flashed again.
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  FILE.bin    the firmware image
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli flash korvalen25-v102.bin
  korvalen25-cli flash --port "MIDI 2" korvalen25-v102.bin
                                          flash the controller on "... MIDI 2"
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  flashed
  1  no controller in upgrade mode, or the transfer failed or was stopped
  2  wrong command line
  3  FILE.bin cannot be read or is not a Korvalen25 firmware image
)"),
     true},
    {"monitor", 0, 0, "monitor",
     QT_TRANSLATE_NOOP(
         "CliText", "print every MIDI message to and from the controller, in\nwords, until Ctrl-C"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Finds the Korvalen25 and prints every MIDI message on its ports, one line
each, until Ctrl-C (or SIGTERM): the time, in or out, the port, what the
message says and its bytes. The search's own messages come first. Notes,
controllers and the like are named as MIDI names them, the editor's and the
controller's own messages in the editor's words; a firmware upgrade is kept
to a few lines.
)"),
     "", QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli monitor
  korvalen25-cli monitor > traffic.txt    keep the lines in a file
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  ended by Ctrl-C or SIGTERM
  1  no controller answered
  2  wrong command line
)"),
     true},
    {"diagnostics", 0, 0, "diagnostics [-o FILE]",
     QT_TRANSLATE_NOOP("CliText",
                       "print a report to attach to a bug report (-o: write it\nto FILE)"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Searches for the Korvalen25, reads its preset P01 as a check of the link,
and prints a report to attach to a bug report: the program's version and
those of Qt and RtMidi, the MIDI backend, every MIDI port with what the
search did with it, the outcome of the read and the MIDI messages that went
over the ports. With -o FILE the report is written to FILE instead.
)"),
     "", QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli diagnostics
  korvalen25-cli diagnostics -o report.txt
)"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(  0  the report was printed or written (also when no controller answered)
  2  wrong command line
  3  FILE cannot be written
)"),
     true},
    {"help", 0, 1, "help [COMMAND]",
     QT_TRANSLATE_NOOP("CliText", "print the help of COMMAND (also: COMMAND --help)"),
     QT_TRANSLATE_NOOP("CliText",
                       R"(Prints the help of COMMAND: what it does, its arguments and options, an
example and its exit codes. Without COMMAND it prints the general help.
)"),
     QT_TRANSLATE_NOOP(
         "CliText",
         R"(  COMMAND     ports, get, put, show, diff, backup, restore, history, undo-put,
              flash, monitor, diagnostics or help
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  korvalen25-cli help get
  korvalen25-cli get --help               the same
)"),
     QT_TRANSLATE_NOOP("CliText", R"(  0  shown
  2  no such command
)"),
     false},
};

} // namespace

const Command* findCommand(const QString& name) {
    for (const Command& c : kCommands)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

QString commandList() {
    QString text = CliText::tr("Commands:") + QLatin1Char('\n');
    for (const Command& c : kCommands) {
        const QStringList lines = CliText::tr(c.summary).split(QLatin1Char('\n'));
        text += QStringLiteral("  %1 %2\n").arg(QLatin1String(c.usage), -23).arg(lines.first());
        for (qsizetype i = 1; i < lines.size(); ++i)
            text += QString(26, QLatin1Char(' ')) + lines[i] + QLatin1Char('\n');
    }
    return text;
}

QString commandHelp(const Command& command, const QString& midiApiHelp) {
    const QString name = QLatin1String(command.name);
    QString usage = QLatin1String(command.usage);
    usage.insert(name.size(), command.usesDevice
                                  ? QStringLiteral(" [--midi-api NAME] [--port NAME]")
                                  : QStringLiteral(""));
    QString text = CliText::tr("Usage: korvalen25-cli %1\n\n").arg(usage);
    text += CliText::tr(command.description);

    if (*command.arguments != '\0')
        text += CliText::tr("\nArguments:\n") + CliText::tr(command.arguments);

    text += CliText::tr("\nOptions:\n");
    if (command.usesDevice) {
        // Wrapped to the column of the other descriptions.
        const QStringList words = midiApiHelp.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString line = QStringLiteral("  --midi-api NAME ");
        for (const QString& word : words) {
            if (line.size() + 1 + word.size() > 78) {
                text += line + QLatin1Char('\n');
                line = QString(19, QLatin1Char(' ')) + word;
            } else {
                line += QLatin1Char(' ') + word;
            }
        }
        text += line + QLatin1Char('\n');
        text += CliText::tr(
            "  --port NAME      the controller to use when more than one answers: a part\n"
            "                   of its MIDI port name, in any case; without it, when\n"
            "                   several answer, they are listed and nothing is done\n");
    }
    if (command.usesDevice && name != QLatin1String("monitor"))
        text += CliText::tr("  --verbose        print every MIDI message of the command on "
                            "stderr, in words\n");
    if (name == QLatin1String("diagnostics"))
        text += CliText::tr("  -o, --output FILE  write the report to FILE\n");
    if (name == QLatin1String("ports"))
        text += CliText::tr("  --json           print the ports as JSON, each with its state "
                            "as a word\n");
    if (name == QLatin1String("history"))
        text += CliText::tr("  --json           print the snapshots as JSON\n");
    if (name == QLatin1String("put"))
        text += CliText::tr("  --force          write a file that names P01, the factory "
                            "preset, without\n"
                            "                   PRESET\n");
    if (name == QLatin1String("backup"))
        text += CliText::tr("  --syx            write P01.syx ... P30.syx, SysEx that any MIDI "
                            "tool can\n"
                            "                   play to the controller, instead of .sav "
                            "files\n");
    if (name == QLatin1String("show"))
        text += CliText::tr("  --json           print the preset as JSON, its values and their "
                            "raw numbers\n"
                            "                   (the fields are listed in the README)\n");
    if (name == QLatin1String("diff"))
        text += CliText::tr("  --json           print the differences as JSON, each value's text "
                            "and\n"
                            "                   raw number\n");
    if (name == QLatin1String("put") || name == QLatin1String("restore") ||
        name == QLatin1String("undo-put"))
        text += CliText::tr("  --no-snapshot    write even when the preset to be replaced "
                            "cannot be read\n"
                            "                   and kept as a snapshot\n");
    if (name == QLatin1String("undo-put"))
        text += CliText::tr("  --from-other     write back a snapshot taken from another "
                            "controller\n"
                            "                   (a simulated one, or one of another "
                            "identity or port)\n");
    text += CliText::tr("  -h, --help       show this help\n");

    const QString example = CliText::tr(command.example);
    text += example.count(QLatin1Char('\n')) > 1 ? CliText::tr("\nExamples:\n")
                                                 : CliText::tr("\nExample:\n");
    text += example;
    QString codes = CliText::tr(command.exitCodes);
    if (command.usesDevice)
        codes.replace(CliText::tr("  2  wrong command line\n"),
                      CliText::tr("  2  wrong command line, or several controllers answered and "
                                  "no --port\n     chose one\n"));
    text += CliText::tr("\nExit codes:\n") + codes;
    return text;
}

} // namespace korvalen::cli
