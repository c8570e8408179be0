// The editor's command line:
//   korvalen25-editor [--midi-api NAME] [FILE.sav]
//   korvalen25-editor --help | --version
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <string>

namespace korvalen::editor {

// True when the arguments ask only for text (--help, --version): the program then needs no
// window system, so that they work without a display too.
bool asksForTextOnly(int argc, const char* const* argv);

struct CommandLine {
    std::string midiApi; // as the option or KORVALEN_MIDI_API gives it, or "auto"
    QString presetFile;  // to open after start-up; empty for none
};

// The options of the editor (with --help and --version) on `parser`.
void addOptions(QCommandLineParser& parser);

// Reads `arguments` (the program name first) with a parser that has the editor's options.
// False with `error` set when they cannot be used. --help and --version are left to the
// caller (parser.isSet()).
bool parse(QCommandLineParser& parser, const QStringList& arguments, CommandLine* line,
           QString* error);

} // namespace korvalen::editor
