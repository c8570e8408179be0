// What the diagnostics report and the MIDI Ports window say of the MIDI server behind the
// backend: which server, its version, and what a transfer asks of it.
#include "diagnostics.h"
#include "portsdialog.h"

#include <QTest>

using korvalen::midi::MidiServer;

class TestMidiServer : public QObject {
    Q_OBJECT

private slots:
    void words_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("version");
        QTest::addColumn<unsigned>("quantum");
        QTest::addColumn<bool>("notRealtime");
        QTest::addColumn<QString>("words");
        QTest::newRow("none") << int(MidiServer::Kind::None) << "" << 0u << false << "";
        QTest::newRow("jackd") << int(MidiServer::Kind::Jackd) << "1.9.21" << 0u << false
                               << "jackd 1.9.21, its buffer size left as it is";
        QTest::newRow("PipeWire, quantum asked")
            << int(MidiServer::Kind::PipeWire) << "0.3.65" << 64u << false
            << "PipeWire 0.3.65, quantum 64 asked during transfers";
        QTest::newRow("PipeWire, another quantum")
            << int(MidiServer::Kind::PipeWire) << "1.2.7" << 256u << false
            << "PipeWire 1.2.7, quantum 256 asked during transfers";
        QTest::newRow("PipeWire, nothing asked")
            << int(MidiServer::Kind::PipeWire) << "0.3.65" << 0u << false
            << "PipeWire 0.3.65, no quantum asked";
        QTest::newRow("PipeWire, not in real time")
            << int(MidiServer::Kind::PipeWire) << "0.3.65" << 0u << true
            << "PipeWire 0.3.65, no quantum asked: MIDI does not run in real time";
    }

    void words() {
        QFETCH(int, kind);
        QFETCH(QString, version);
        QFETCH(unsigned, quantum);
        QFETCH(bool, notRealtime);
        QFETCH(QString, words);
        MidiServer server;
        server.kind = MidiServer::Kind(kind);
        server.version = version.toStdString();
        server.transferQuantum = quantum;
        server.notRealtime = notRealtime;
        QCOMPARE(korvalen::midiServerWords(server), words);

        // The report has the line right after the backend's, and none without a server.
        korvalen::DiagnosticsInput in;
        in.program = QStringLiteral("test");
        in.backend = QStringLiteral("jack");
        in.server = server;
        const QString report = korvalen::diagnosticsReport(in);
        const QString expected =
            words.isEmpty() ? QStringLiteral("MIDI backend: jack\n\n")
                            : QStringLiteral("MIDI backend: jack\nMIDI server: %1\n\n").arg(words);
        QVERIFY2(report.contains(expected), qPrintable(report));
        QCOMPARE(report.count(QStringLiteral("MIDI server:")), words.isEmpty() ? 0 : 1);

        // The MIDI Ports window's summary names it beside the backend.
        PortsDialog::Facts facts;
        facts.backend = QStringLiteral("jack");
        facts.server = words;
        const QString summary = PortsDialog::summaryFor(facts);
        QCOMPARE(summary, words.isEmpty()
                              ? QStringLiteral("MIDI backend: jack. Last search: no search yet.")
                              : QStringLiteral("MIDI backend: jack (%1). Last search: no search "
                                               "yet.")
                                    .arg(words));
    }
};

QTEST_MAIN(TestMidiServer)
#include "test_midiserver.moc"
