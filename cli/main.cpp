// korvalen25-cli: the Korvalen25's presets and firmware from a terminal.
#include "commands.h"
#include "connectthread.h"
#include "midi.h"
#include "midiplatform.h"
#include "translator.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvalen25-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVALEN_VERSION));
    korvalen::i18n::install(app);

    QTextStream out(stdout);
    QTextStream err(stderr);
    korvalen::cli::RunOptions options;
    options.terminal = isatty(fileno(stdout)) != 0;
    const int code = korvalen::cli::run(QCoreApplication::arguments(), out, err, options);
    // Ports still open (a flash leaves the upgrade's open) call their handlers until they are
    // closed: close them while the objects behind those handlers still exist.
    connectThread.releasePorts();
    midiLink.closePorts();
    korvalen::midi::setPlatform(nullptr);
    return code;
}
