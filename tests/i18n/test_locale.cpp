// The language follows the locale: run with LANG=de_DE.UTF-8 or LANGUAGE=de the editor's menus
// and korvalen25-cli's help and errors are German; with LANG=C they are the English texts,
// exactly. KORVALEN_EXPECT says which the environment of the run asks for ("de" or "en").
#include "commands.h"
#include "guitestutil.h"
#include "translator.h"

#include <QMenuBar>
#include <QProcess>
#include <QTest>
#include <QTextStream>

using namespace guitest;

namespace {

bool german() {
    return qEnvironmentVariable("KORVALEN_EXPECT") == QLatin1String("de");
}

struct Run {
    int code = -1;
    QString out, err;
};

// `program` with `args`, in the environment of this test.
Run started(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(-1)) return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// What korvalen25-cli prints for `args` in this process, in English (no translation is
// installed here in the English runs).
Run inProcess(const QStringList& args) {
    Run r;
    QTextStream o(&r.out), e(&r.err);
    r.code = korvalen::cli::run(QStringList{QStringLiteral("korvalen25-cli")} + args, o, e);
    return r;
}

} // namespace

class LocaleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const QString expect = qEnvironmentVariable("KORVALEN_EXPECT");
        QVERIFY2(expect == QLatin1String("de") || expect == QLatin1String("en"),
                 "KORVALEN_EXPECT is de or en");
        // The editor's start-up: the translation the locale asks for, or none for English.
        QCOMPARE(korvalen::i18n::install(*qApp), german());
        useQuietController();
    }

    void editorMenus() {
        auto window = shownWindow();
        QVERIFY(window);
        QStringList titles;
        for (QAction* a : window->menuBar()->actions())
            titles << a->text().remove(QLatin1Char('&'));
        const QStringList expected =
            german()
                ? QStringList{"Menü",       "Datei",    "Firmware", "Bearbeiten",
                              "Bibliothek", "Diagnose", "Hilfe"}
                : QStringList{"Menu", "File", "Firmware", "Edit", "Library", "Diagnostics", "Help"};
        QCOMPARE(titles, expected);
        // Qt's own texts follow as well: the standard buttons.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"),
                 german() ? QStringLiteral("Abbrechen") : QStringLiteral("Cancel"));
    }

    void editorHelp() {
        const Run r = started(QStringLiteral(KORVALEN_EDITOR), {QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(german()
                                    ? QStringLiteral("Bearbeitet die Presets des MIDI-Controllers "
                                                     "Korvalen25.")
                                    : QStringLiteral("Edits the presets of the Korvalen25 MIDI "
                                                     "controller.")),
                 qPrintable(r.out));
    }

    void cliHelpAndErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("german");
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")}
                                << QStringLiteral("Befehle:");
        QTest::newRow("help get") << QStringList{QStringLiteral("help"), QStringLiteral("get")}
                                  << QStringLiteral("Beispiele:");
        QTest::newRow("unknown command")
            << QStringList{QStringLiteral("fly")} << QStringLiteral("unbekannter Befehl \"fly\"");
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("show"), QStringLiteral("/nonexistent/x.sav")}
            << QStringLiteral("kann \"/nonexistent/x.sav\" nicht lesen");
    }

    void cliHelpAndErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, german);
        const Run r = started(QStringLiteral(KORVALEN_CLI), args);
        if (::german()) {
            QVERIFY2((r.out + r.err).contains(german), qPrintable(r.out + r.err));
        } else {
            const Run english = inProcess(args);
            QCOMPARE(r.code, english.code);
            QCOMPARE(r.out, english.out);
            QCOMPARE(r.err, english.err);
        }
    }
};

QTEST_MAIN(LocaleTest)
#include "test_locale.moc"
