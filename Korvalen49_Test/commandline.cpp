#include "commandline.h"

#include "platformfactory.h"

#include <QCoreApplication>

#include <cstring>

namespace korvalen::editor {

namespace {

const QString kMidiApi = QStringLiteral("midi-api");

} // namespace

bool asksForTextOnly(int argc, const char* const* argv) {
    for (int i = 1; i < argc && argv[i]; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0) break;
        for (const char* text : {"-h", "--help", "--help-all", "-?", "-v", "--version"})
            if (std::strcmp(a, text) == 0) return true;
    }
    return false;
}

void addOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Edits the presets of the Korvalen25 MIDI controller."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(
        {kMidiApi,
         QCoreApplication::translate(
             "CommandLine", "The MIDI backend: auto (the default), alsa, jack, coremidi, winmm, "
                            "virtual (a built-in controller emulator) or none. Without the option, "
                            "the environment variable KORVALEN_MIDI_API names it."),
         QStringLiteral("NAME")});
    parser.addPositionalArgument(
        QStringLiteral("FILE.sav"),
        QCoreApplication::translate("CommandLine", "A preset file to open after start-up."),
        QStringLiteral("[FILE.sav]"));
}

bool parse(QCommandLineParser& parser, const QStringList& arguments, CommandLine* line,
           QString* error) {
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        *error = QCoreApplication::translate("CommandLine",
                                             "Give at most one preset file; there were %1.")
                     .arg(files.size());
        return false;
    }
    // The option as given, or the environment variable, with the same rules as the backend
    // choice everywhere else.
    const std::string api = parser.value(kMidiApi).toStdString();
    const char* const optionArgv[] = {"", "--midi-api", api.c_str()};
    line->midiApi = korvalen::midi::requestedApiName(parser.isSet(kMidiApi) ? 3 : 1, optionArgv);
    line->presetFile = files.value(0);
    return true;
}

} // namespace korvalen::editor
