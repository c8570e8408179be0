// Choosing the backend by name: the option and the environment, names that round-trip, APIs
// that cannot start on this machine, and the filter that keeps the editor's own ports out of
// the port lists.
#include "inputrecorder.h"
#include "platformfactory.h"
#include "rtmidibackend.h"
#include "virtualbus.h"

#include <QtTest>

#include <unistd.h>

using namespace korvalen::midi;

class TestPlatformSelect : public QObject {
    Q_OBJECT

private slots:
    void init();
    void requestedName_data();
    void requestedName();
    void namesRoundTrip_data();
    void namesRoundTrip();
    void unknownName();
    void unavailableApis();
    void ownPortNames_data();
    void ownPortNames();
    void currentPlatform();
    void jackServer_data();
    void jackServer();
    void pipeWireQuantum_data();
    void pipeWireQuantum();
};

void TestPlatformSelect::init() {
    qunsetenv("KORVALEN_MIDI_API");
    // A server name that nothing runs under: JACK cannot start in these tests.
    qputenv("JACK_DEFAULT_SERVER", "korvalen-no-such-server-" + QByteArray::number(getpid()));
}

void TestPlatformSelect::requestedName_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("env");
    QTest::addColumn<QString>("expected");

    QTest::newRow("nothing: auto") << QStringList{"editor"} << ""
                                   << "auto";
    QTest::newRow("option") << QStringList{"editor", "--midi-api", "jack"} << ""
                            << "jack";
    QTest::newRow("option with =") << QStringList{"editor", "--midi-api=virtual"} << ""
                                   << "virtual";
    QTest::newRow("environment") << QStringList{"editor", "-style", "fusion"} << "alsa"
                                 << "alsa";
    QTest::newRow("option wins over environment")
        << QStringList{"editor", "--midi-api", "virtual"} << "jack"
        << "virtual";
    QTest::newRow("upper case is lowered") << QStringList{"editor", "--midi-api", "JACK"} << ""
                                           << "jack";
    QTest::newRow("option without value: environment")
        << QStringList{"editor", "--midi-api"} << "winmm"
        << "winmm";
    QTest::newRow("other options around it")
        << QStringList{"editor", "-platform", "offscreen", "--midi-api", "none", "x.sav"} << ""
        << "none";
}

void TestPlatformSelect::requestedName() {
    QFETCH(QStringList, args);
    QFETCH(QString, env);
    QFETCH(QString, expected);
    if (!env.isEmpty()) qputenv("KORVALEN_MIDI_API", env.toUtf8());
    std::vector<QByteArray> storage;
    std::vector<const char*> argv;
    for (const QString& a : args)
        storage.push_back(a.toUtf8());
    for (const QByteArray& a : storage)
        argv.push_back(a.constData());
    QCOMPARE(QString::fromStdString(requestedApiName(static_cast<int>(argv.size()), argv.data())),
             expected);
}

void TestPlatformSelect::namesRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("virtual") << "virtual";
    QTest::newRow("none") << "none";
    QTest::newRow("Virtual in capitals") << "Virtual";
}

void TestPlatformSelect::namesRoundTrip() {
    QFETCH(QString, name);
    std::string error;
    auto p = createPlatform(name.toStdString(), &error);
    QVERIFY2(p, error.c_str());
    QCOMPARE(QString::fromStdString(p->apiName()), name.toLower());
    auto again = createPlatform(p->apiName(), &error);
    QVERIFY(again);
    QCOMPARE(again->apiName(), p->apiName());
}

void TestPlatformSelect::unknownName() {
    std::string error;
    QVERIFY(!createPlatform("oss", &error));
    QVERIFY(QString::fromStdString(error).contains("oss"));
    for (const std::string& name : platformApiNames())
        QVERIFY(name != "oss");
}

void TestPlatformSelect::unavailableApis() {
    // No JACK server runs under the chosen name; ALSA is unusable where /dev/snd/seq is
    // missing. Neither may throw or crash, and `auto` goes on to the next API or ends with a
    // platform without ports.
    const auto compiled = rtMidiCompiledApis();
    const bool haveJack = std::find(compiled.begin(), compiled.end(), "jack") != compiled.end();
    if (haveJack) {
        std::string error;
        QVERIFY(!createPlatform("jack", &error));
        QVERIFY2(QString::fromStdString(error).contains("JACK"), error.c_str());
    }
    const bool alsaUsable = ::access("/dev/snd/seq", R_OK | W_OK) == 0;
    if (!alsaUsable) {
        std::string error;
        QVERIFY(!createPlatform("alsa", &error));
        QVERIFY2(QString::fromStdString(error).contains("/dev/snd/seq"), error.c_str());
    }
    std::string error;
    auto p = createPlatform("auto", &error);
    QVERIFY(p);
    if (!alsaUsable) {
        QCOMPARE(p->apiName(), std::string("none"));
        QCOMPARE(p->inputCount(), 0u);
        QCOMPARE(p->outputCount(), 0u);
        QVERIFY(!p->openOutput(0));
        QVERIFY(QString::fromStdString(error).contains("no MIDI API"));
    } else {
        QCOMPARE(p->apiName(), std::string("alsa"));
    }
}

void TestPlatformSelect::ownPortNames_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("own");
    QTest::newRow("JACK, own client") << "Korvalen25 Editor:Korvalen25 Out" << true;
    QTest::newRow("JACK, own second client") << "Korvalen25 Editor-02:Korvalen25 In" << true;
    QTest::newRow("ALSA, own client") << "Korvalen25 Editor:Korvalen25 Out 130:0" << true;
    QTest::newRow("the emulator") << "Korvalen25:Korvalen25" << false;
    QTest::newRow("the emulator's second client") << "Korvalen25-01:Korvalen25" << false;
    QTest::newRow("a longer client name") << "Korvalen25 Editorial:out" << false;
    QTest::newRow("suffix that is not a number") << "Korvalen25 Editor-x:out" << false;
    QTest::newRow("suffix without digits") << "Korvalen25 Editor-:out" << false;
    QTest::newRow("no client part") << "Korvalen25 Editor" << false;
    QTest::newRow("ALSA hardware") << "USB Keyboard:USB Keyboard MIDI 1 24:0" << false;
}

void TestPlatformSelect::ownPortNames() {
    QFETCH(QString, port);
    QFETCH(bool, own);
    QCOMPARE(isOwnPortName(port.toStdString(), kEditorClientName), own);
}

void TestPlatformSelect::currentPlatform() {
    QCOMPARE(platform().apiName(), std::string("none"));
    auto bus = std::make_shared<VirtualBus>();
    setPlatform(bus);
    QCOMPARE(&platform(), static_cast<Platform*>(bus.get()));
    setPlatform(nullptr);
    QCOMPARE(platform().apiName(), std::string("none"));
}

// The JACK library's version text tells jackd from PipeWire, and PipeWire's version.
void TestPlatformSelect::jackServer_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("version");
    const int jackd = int(MidiServer::Kind::Jackd), pipeWire = int(MidiServer::Kind::PipeWire);
    QTest::newRow("jackd") << "1.9.21" << jackd << "1.9.21";
    QTest::newRow("PipeWire 0.3") << "3.0.0.0 (using PipeWire 0.3.65)" << pipeWire << "0.3.65";
    QTest::newRow("PipeWire 1.2") << "3.0.0.0 (using PipeWire 1.2.7)" << pipeWire << "1.2.7";
    QTest::newRow("PipeWire, no parenthesis") << "PipeWire 1.0.5" << pipeWire << "1.0.5";
    QTest::newRow("PipeWire, no version") << "3.0.0.0 (PipeWire)" << pipeWire << "";
    QTest::newRow("empty") << "" << jackd << "";
}

void TestPlatformSelect::jackServer() {
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(QString, version);
    const MidiServer server = jackServerOf(text.toStdString());
    QCOMPARE(int(server.kind), kind);
    QCOMPARE(QString::fromStdString(server.version), version);
    QCOMPARE(server.transferQuantum, 0u);
}

// The cycle asked of PipeWire during transfers: 256 frames, or what KORVALEN_PIPEWIRE_QUANTUM
// says when it says something PipeWire takes.
void TestPlatformSelect::pipeWireQuantum_data() {
    QTest::addColumn<QByteArray>("setting"); // "-": not set
    QTest::addColumn<unsigned>("frames");
    QTest::newRow("not set") << QByteArray("-") << 256u;
    QTest::newRow("empty") << QByteArray("") << 256u;
    QTest::newRow("0: ask for nothing") << QByteArray("0") << 0u;
    QTest::newRow("16") << QByteArray("16") << 16u;
    QTest::newRow("256") << QByteArray("256") << 256u;
    QTest::newRow("8192") << QByteArray("8192") << 8192u;
    QTest::newRow("not a power of two") << QByteArray("100") << 256u;
    QTest::newRow("too short") << QByteArray("8") << 256u;
    QTest::newRow("too long") << QByteArray("16384") << 256u;
    QTest::newRow("not a number") << QByteArray("fast") << 256u;
    QTest::newRow("trailing text") << QByteArray("128 frames") << 256u;
    QTest::newRow("negative") << QByteArray("-128") << 256u;
}

void TestPlatformSelect::pipeWireQuantum() {
    QFETCH(QByteArray, setting);
    QFETCH(unsigned, frames);
    if (setting == "-")
        qunsetenv("KORVALEN_PIPEWIRE_QUANTUM");
    else
        qputenv("KORVALEN_PIPEWIRE_QUANTUM", setting);
    QCOMPARE(pipeWireTransferQuantum(), frames);
    qunsetenv("KORVALEN_PIPEWIRE_QUANTUM");
}

QTEST_GUILESS_MAIN(TestPlatformSelect)
#include "tst_platformselect.moc"
