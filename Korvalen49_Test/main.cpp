// Start-up of the Korvalen25 editor.
#include "korvalen49_test.h"

#include <QApplication>
#include <QString>

#include <cstring>

namespace {

// The MIDI backend chosen with "--midi-api NAME" (or "--midi-api=NAME"); empty when absent.
QString midiApiOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--midi-api") == 0 && i + 1 < argc)
            return QString::fromLocal8Bit(argv[i + 1]);
        if (std::strncmp(argv[i], "--midi-api=", 11) == 0)
            return QString::fromLocal8Bit(argv[i] + 11);
    }
    return {};
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The toolkit leaves options it does not know in argv.
    // DEVICE LINK: hand this name to the MIDI platform before the window searches the ports.
    [[maybe_unused]] const QString midiApi = midiApiOption(argc, argv);

    if (QApplication::setStyle(QStringLiteral("plastique")) == nullptr)
        QApplication::setStyle(QStringLiteral("Fusion"));

    Korvalen49_Test window;
    window.show();
    return app.exec();
}
