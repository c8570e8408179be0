// korvalen25-cli's commands as the command line knows them: their arguments, and the help that
// `korvalen25-cli help COMMAND` and `korvalen25-cli COMMAND --help` print.
#pragma once

#include <QString>

namespace korvalen::cli {

struct Command {
    const char* name;
    int minArgs;
    int maxArgs;
    const char* usage;       // the arguments, as "get PRESET FILE.sav"
    const char* summary;     // one line for the general help
    const char* description; // what it does, wrapped to 78 columns
    const char* arguments;   // "  NAME  what it is" lines, or empty
    const char* example;     // one or more command lines with what they do
    const char* exitCodes;   // "  0  what it means" lines, one for each exit code
    bool usesDevice;         // takes --midi-api
};

// nullptr for a name that is no command.
const Command* findCommand(const QString& name);

// The commands' lines of the general help ("Commands:" and the list).
QString commandList();

// The help of one command. `midiApiHelp` describes --midi-api's values.
QString commandHelp(const Command& command, const QString& midiApiHelp);

} // namespace korvalen::cli
