// Start-up of the Korvalen25 editor.
#include "commandline.h"
#include "connectthread.h"
#include "fontsetup.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "platformfactory.h"
#include "translator.h"
#include "virtualdevice.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char* argv[]) {
    namespace editor = korvalen::editor;
    // --help and --version print and end before any window exists.
    const bool textOnly = editor::asksForTextOnly(argc, argv);
    std::unique_ptr<FontSetUp> fonts;
    if (!textOnly) fonts = std::make_unique<FontSetUp>();
    std::unique_ptr<QCoreApplication> app;
    if (textOnly)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvalen25-editor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVALEN_VERSION));
    korvalen::i18n::install(*app);

    QCommandLineParser parser;
    editor::addOptions(parser);
    editor::CommandLine line;
    QString error;
    if (!editor::parse(parser, QCoreApplication::arguments(), &line, &error)) {
        std::fprintf(stderr, "korvalen25-editor: %s\n%s", qPrintable(error),
                     qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();

    // The desktop entry's id, so that the desktop matches the window to it, and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvalen.Korvalen25Editor"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/korvalen/icon.png")));

    if (QApplication::setStyle(QStringLiteral("plastique")) == nullptr)
        QApplication::setStyle(QStringLiteral("Fusion"));

    std::string why;
    QString midiProblem;
    auto midi =
        korvalen::midi::createPlatform(line.midiApi, &why, korvalen::sim::attachVirtualDevice);
    if (!midi) {
        FontSetUp::waitForCurrent(); // before the box's text
        std::fprintf(stderr, "korvalen25-editor: MIDI backend \"%s\" cannot be used: %s\n",
                     line.midiApi.c_str(), why.c_str());
        midiProblem =
            QCoreApplication::translate("main", "The MIDI backend \"%1\" cannot be used: %2\n"
                                                "The editor starts without MIDI ports.")
                .arg(QString::fromStdString(line.midiApi), QString::fromStdString(why));
        midi = korvalen::midi::createPlatform("none");
    }
    korvalen::midi::setPlatform(midi);

    int result = 0;
    {
        Korvalen49_Test window;
        window.show();
        // Told once the window is up, in a box that does not wait.
        if (!midiProblem.isEmpty()) {
            auto* box =
                new QMessageBox(QMessageBox::Warning, QCoreApplication::translate("main", "MIDI"),
                                midiProblem, QMessageBox::Ok, &window);
            box->setObjectName(QStringLiteral("midiBackendProblem"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        }
        // A file named on the command line opens once the window is up, as "Load from file".
        if (!line.presetFile.isEmpty())
            QTimer::singleShot(0, &window,
                               [&window, file = line.presetFile] { window.openPresetFile(file); });
        result = app->exec();
    }
    // Ports still open (a flash leaves the upgrade's open) call their handlers until they are
    // closed: close them while the objects behind those handlers still exist.
    connectThread.releasePorts();
    midiLink.closePorts();
    korvalen::midi::setPlatform(nullptr);
    return result;
}
