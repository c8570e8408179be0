// Start-up of the Korvalen25 editor.
#include "korvalen49_test.h"
#include "platformfactory.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <string>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The desktop entry's id, so that the desktop matches the window to it, and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvalen.Korvalen25Editor"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/korvalen/icon.png")));

    if (QApplication::setStyle(QStringLiteral("plastique")) == nullptr)
        QApplication::setStyle(QStringLiteral("Fusion"));

    // The MIDI backend: --midi-api NAME, else KORVALEN_MIDI_API, else the first one that
    // starts on this machine. The toolkit leaves options it does not know in argv.
    const std::string api = korvalen::midi::requestedApiName(argc, argv);
    std::string error;
    auto midi = korvalen::midi::createPlatform(api, &error);
    if (!midi) {
        std::fprintf(stderr, "korvalen25-editor: MIDI backend \"%s\" cannot be used: %s\n",
                     api.c_str(), error.c_str());
        QMessageBox::warning(nullptr, QStringLiteral("MIDI"),
                             QStringLiteral("The MIDI backend \"%1\" cannot be used: %2\n"
                                            "The editor starts without MIDI ports.")
                                 .arg(QString::fromStdString(api), QString::fromStdString(error)));
        midi = korvalen::midi::createPlatform("none");
    }
    korvalen::midi::setPlatform(midi);

    int result = 0;
    {
        Korvalen49_Test window;
        window.show();
        result = app.exec();
    }
    korvalen::midi::setPlatform(nullptr);
    return result;
}
