// The editor's command line: the options as the parser takes them, and the program itself
// answering --help and --version (and refusing what it does not know) without a window system.
#include "commandline.h"

#include <QProcess>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

    // Runs the editor with `arguments` where no display can be reached.
    static bool runEditor(const QStringList& arguments, int* exitCode, QString* out, QString* err) {
        QProcess editor;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        editor.setProcessEnvironment(env);
        editor.start(QStringLiteral(KORVALEN_EDITOR), arguments);
        // No bound of its own: an editor that never ends is ended by the test's time-out.
        if (!editor.waitForFinished(-1)) return false;
        *exitCode = editor.exitStatus() == QProcess::NormalExit ? editor.exitCode() : -1;
        *out = QString::fromLocal8Bit(editor.readAllStandardOutput());
        *err = QString::fromLocal8Bit(editor.readAllStandardError());
        return true;
    }

private slots:
    void initTestCase() { qunsetenv("KORVALEN_MIDI_API"); }

    void options_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("api");
        QTest::addColumn<QString>("file");
        QTest::newRow("nothing") << QStringList{} << true << "auto"
                                 << "";
        QTest::newRow("a file") << QStringList{"my preset.sav"} << true << "auto"
                                << "my preset.sav";
        QTest::newRow("backend and file")
            << QStringList{"--midi-api", "JACK", "a.sav"} << true << "jack"
            << "a.sav";
        QTest::newRow("backend with =") << QStringList{"--midi-api=virtual"} << true << "virtual"
                                        << "";
        QTest::newRow("two files") << QStringList{"a.sav", "b.sav"} << false << ""
                                   << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << false << ""
                                        << "";
        QTest::newRow("backend without name") << QStringList{"--midi-api"} << false << ""
                                              << "";
    }
    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, usable);
        QFETCH(QString, api);
        QFETCH(QString, file);
        QCommandLineParser parser;
        korvalen::editor::addOptions(parser);
        korvalen::editor::CommandLine line;
        QString error;
        arguments.prepend(QStringLiteral("korvalen25-editor"));
        QCOMPARE(korvalen::editor::parse(parser, arguments, &line, &error), usable);
        QCOMPARE(error.isEmpty(), usable);
        if (!usable) return;
        QCOMPARE(QString::fromStdString(line.midiApi), api);
        QCOMPARE(line.presetFile, file);
    }

    // Without the option, the environment variable names the backend; the option wins.
    void environmentNamesTheBackend() {
        qputenv("KORVALEN_MIDI_API", "None");
        QCommandLineParser parser;
        korvalen::editor::addOptions(parser);
        korvalen::editor::CommandLine line;
        QString error;
        QVERIFY(korvalen::editor::parse(parser, {"korvalen25-editor"}, &line, &error));
        QCOMPARE(line.midiApi, std::string("none"));
        QCommandLineParser again;
        korvalen::editor::addOptions(again);
        QVERIFY(korvalen::editor::parse(again, {"korvalen25-editor", "--midi-api", "alsa"}, &line,
                                        &error));
        QCOMPARE(line.midiApi, std::string("alsa"));
        qunsetenv("KORVALEN_MIDI_API");
    }

    // The program prints and ends; no display is needed for it.
    void helpAndVersionPrintWithoutAWindow_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("--help") << QStringList{"--help"} << 0 << "--midi-api <NAME>"
                                << "";
        QTest::newRow("-h after a file") << QStringList{"x.sav", "-h"} << 0 << "[FILE.sav]"
                                         << "";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "korvalen25-editor 0."
                                   << "";
        QTest::newRow("unknown option with --help") << QStringList{"--bogus", "--help"} << 2 << ""
                                                    << "Unknown option 'bogus'";
    }
    void helpAndVersionPrintWithoutAWindow() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        int code = -1;
        QString out, err;
        QVERIFY(runEditor(arguments, &code, &out, &err));
        QVERIFY2(code == exitCode, qPrintable(QStringLiteral("exit %1: %2").arg(code).arg(err)));
        QVERIFY2(out.contains(stdoutHas), qPrintable(out));
        QVERIFY2(err.contains(stderrHas), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
