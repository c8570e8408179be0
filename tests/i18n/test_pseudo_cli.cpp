// korvalen25-cli's help and errors go through a translation: with a pseudo-translation that
// wraps each translated text in "[~" and "~]", what the command line prints must be marked,
// but for the command lines, option names and data it shows.
#include "commands.h"
#include "presetsyx.h"
#include "pseudomarks.h"
#include "syxfiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTranslator>

namespace {

// Lines of what is left that hold words and are not data.
QStringList unmarkedLines(const QString& printed) {
    // Data, each with the reason:
    static const QRegularExpression data(QStringLiteral(
        // the program's name before an error, as every Unix tool prints it
        "^korvalen25-cli:$"
        // option names, with their value names, as they are typed
        "|^(-\\w, )?--[\\w-]+( <?[A-Z]+>?)?$|^-\\w$"
        // a command with its arguments, as it is typed ("get PRESET FILE.sav")
        "|^(ports|get|put|show|diff|backup|restore|history|undo-put|flash|monitor|diagnostics|"
        "help)( \\[?(--?[a-z-]+|[A-Z][A-Za-z.]*|[A-Z]+ \\w+)\\]?)*( \\[-o FILE\\])?$"
        // QCommandLineParser's own headings: Qt's translations carry them
        "|^(Options|Arguments):$"
        // the command name, as it is typed
        "|^command$"
        // paths and file names the test gave
        "|^[\\w/.-]+\\.(sav|syx|bin)$"));
    QStringList left;
    for (const QString& line : unmarkedPart(printed).split(QLatin1Char('\n'))) {
        for (QString part :
             line.split(QRegularExpression(QStringLiteral("\\s{2,}|\"")), Qt::SkipEmptyParts)) {
            part = part.trimmed();
            if (!part.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")))) continue;
            if (data.match(part).hasMatch()) continue;
            left << part;
        }
    }
    return left;
}

} // namespace

class PseudoCliTest : public QObject {
    Q_OBJECT

    QTranslator pseudo_;
    QTemporaryDir dir_;

    // What `args` prints, out and err together.
    QString printed(const QStringList& args, int* code = nullptr) {
        QString out, err;
        QTextStream o(&out), e(&err);
        const int c =
            korvalen::cli::run(QStringList{QStringLiteral("korvalen25-cli")} + args, o, e);
        if (code) *code = c;
        return out + err;
    }

private slots:
    void initTestCase() {
        const QString qm = qEnvironmentVariable("KORVALEN_PSEUDO_QM");
        QVERIFY2(!qm.isEmpty(), "KORVALEN_PSEUDO_QM names the pseudo-translation");
        QVERIFY2(pseudo_.load(qm), qPrintable(QStringLiteral("cannot load ") + qm));
        QVERIFY(QCoreApplication::installTranslator(&pseudo_));
        QVERIFY(dir_.isValid());
    }

    // The check itself: a marked text passes, an English one fails.
    void checker() {
        QVERIFY(unmarkedLines(QStringLiteral("[~Usage: %1~]\nkorvalen25-cli: [~no [~x~]~]\n"))
                    .isEmpty());
        QCOMPARE(unmarkedLines(QStringLiteral("[~Saved~] to the file\n  --json  print it\n")),
                 (QStringList{QStringLiteral("to the file"), QStringLiteral("print it")}));
    }

    void printsMarkedTexts_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        // A part of the text that must come marked though it is an argument of a marked text,
        // which the check of the unmarked part cannot see: a reason given by the core.
        QTest::addColumn<QString>("nested");
        const QString missing = dir_.filePath(QStringLiteral("missing.sav"));
        const QString notPreset = dir_.filePath(QStringLiteral("short.sav"));
        QFile f(notPreset);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("KORVALEN25 but short");
        f.close();
        QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << QString();
        for (const char* command :
             {"ports", "get", "put", "show", "diff", "backup", "restore", "history", "undo-put",
              "flash", "monitor", "diagnostics", "help"})
            QTest::addRow("help %s", command)
                << QStringList{QStringLiteral("help"), QLatin1String(command)} << 0 << QString();
        QTest::newRow("no command") << QStringList{} << 2 << QString();
        QTest::newRow("unknown command") << QStringList{QStringLiteral("fly")} << 2 << QString();
        QTest::newRow("missing argument") << QStringList{QStringLiteral("get")} << 2 << QString();
        QTest::newRow("bad preset")
            << QStringList{QStringLiteral("get"), QStringLiteral("P99"), missing} << 2 << QString();
        QTest::newRow("option for another command")
            << QStringList{QStringLiteral("show"), QStringLiteral("--force"), missing} << 2
            << QString();
        QTest::newRow("missing file")
            << QStringList{QStringLiteral("show"), missing} << 3 << QString();
        QTest::newRow("not a preset")
            << QStringList{QStringLiteral("show"), notPreset} << 3 << QString();
        // .syx files the core refuses: its reasons, nested parts and all, come translated.
        const QByteArray good =
            korvalen::bytesOf(korvalen::presetSyx(korvalen::PresetValues{}, 20));
        QList<QByteArray> msgs = korvalen::messagesOf(good);
        const qsizetype octave = korvalen::indexOf(
            msgs, korvalen::globalParameter(korvalen::global::kZoneOct + 1, 0).left(7));
        QVERIFY(octave >= 0);
        msgs[octave] = korvalen::globalParameter(korvalen::global::kZoneOct + 1, 12);
        const struct {
            const char* name;
            QByteArray bytes;
        } syxFiles[] = {
            {"not-sysex", QByteArray("KORVALEN25 but short")},
            {"two-presets", good + good},
            {"no-end", good.chopped(9)},
            {"zone-out-of-range", korvalen::joined(msgs)},
        };
        for (const auto& syx : syxFiles) {
            const QString path = dir_.filePath(QLatin1String(syx.name) + QStringLiteral(".syx"));
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(syx.bytes);
            out.close();
            QTest::addRow("refused .syx: %s", syx.name)
                << QStringList{QStringLiteral("show"), path} << 3
                << QStringLiteral("is not a preset: [~");
        }
        QTest::newRow("no MIDI backend")
            << QStringList{QStringLiteral("--midi-api"), QStringLiteral("nonesuch"),
                           QStringLiteral("ports")}
            << 2 << QString();
    }

    void printsMarkedTexts() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, nested);
        int got = -1;
        const QString text = printed(args, &got);
        QCOMPARE(got, code);
        QVERIFY2(text.contains(QLatin1String("[~")), qPrintable(text));
        QVERIFY2(text.contains(nested), qPrintable(text));
        const QStringList left = unmarkedLines(text);
        QVERIFY2(left.isEmpty(),
                 qPrintable(QStringLiteral("not translated:\n") + left.join(QLatin1Char('\n')) +
                            QStringLiteral("\n--- printed:\n") + text));
    }
};

QTEST_GUILESS_MAIN(PseudoCliTest)
#include "test_pseudo_cli.moc"
