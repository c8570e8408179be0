// Choosing the backend by name: the option and the environment, names that round-trip, APIs
// that cannot start on this machine, the virtual backend's default device, and the filter
// that keeps the editor's own ports out of the port lists.
#include "emulatordevice.h"
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
    void virtualDeviceChoice_data();
    void virtualDeviceChoice();
    void virtualBackendHasAController_data();
    void virtualBackendHasAController();
    void ownPortNames_data();
    void ownPortNames();
    void currentPlatform();
};

void TestPlatformSelect::init() {
    qunsetenv("KORVALEN_MIDI_API");
    qunsetenv("KORVALEN_VIRTUAL_DEVICE");
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

void TestPlatformSelect::virtualDeviceChoice_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("anyIdentity");
    QTest::addColumn<QByteArray>("identity");
    QTest::addColumn<unsigned>("version");

    using K = VirtualDeviceChoice::Kind;
    const QByteArray zeros(5, '\0');
    QTest::newRow("normal") << "normal" << true << int(K::Normal) << true << zeros << 0u;
    QTest::newRow("none") << "none" << true << int(K::None) << true << zeros << 0u;
    QTest::newRow("upgrade, any identity")
        << "upgrade" << true << int(K::Upgrade) << true << zeros << 0u;
    QTest::newRow("upgrade with identity") << "upgrade:00206B0219" << true << int(K::Upgrade)
                                           << false << QByteArray::fromHex("00206B0219") << 0u;
    QTest::newRow("upgrade with identity and version")
        << "UPGRADE:7f01020304:257" << true << int(K::Upgrade) << false
        << QByteArray::fromHex("7F01020304") << 257u;
    QTest::newRow("identity too short") << "upgrade:00206B02" << false << 0 << false << zeros << 0u;
    QTest::newRow("identity byte above 7F")
        << "upgrade:80206B0219" << false << 0 << false << zeros << 0u;
    QTest::newRow("version 0") << "upgrade:00206B0219:0" << false << 0 << false << zeros << 0u;
    QTest::newRow("unknown word") << "flash" << false << 0 << false << zeros << 0u;
    QTest::newRow("normal with extra") << "normal:1" << false << 0 << false << zeros << 0u;
}

void TestPlatformSelect::virtualDeviceChoice() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, kind);
    QFETCH(bool, anyIdentity);
    QFETCH(QByteArray, identity);
    QFETCH(unsigned, version);
    VirtualDeviceChoice choice;
    std::string error;
    QCOMPARE(parseVirtualDevice(text.toStdString(), &choice, &error), valid);
    if (!valid) {
        QVERIFY(!error.empty());
        return;
    }
    QCOMPARE(int(choice.kind), kind);
    QCOMPARE(choice.anyIdentity, anyIdentity);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(choice.identity), 5), identity);
    QCOMPARE(choice.version, version);
}

void TestPlatformSelect::virtualBackendHasAController_data() {
    QTest::addColumn<QByteArray>("env");
    QTest::addColumn<QByteArray>("probe");
    QTest::addColumn<QByteArray>("replyStart"); // what the reply begins with; empty: no reply

    const QByteArray identityProbe = QByteArray::fromHex("F0000066141A00F7");
    QTest::newRow("default: normal mode answers the identity probe")
        << QByteArray() << identityProbe << QByteArray::fromHex("F0000066141B");
    QTest::newRow("upgrade mode answers any upgrade identity with mode 2")
        << QByteArray("upgrade") << QByteArray::fromHex("F011223344550000F7")
        << QByteArray::fromHex("F01122334455");
    QTest::newRow("upgrade mode with an identity ignores another")
        << QByteArray("upgrade:0102030405") << QByteArray::fromHex("F011223344550000F7")
        << QByteArray();
    QTest::newRow("upgrade mode does not answer the identity probe")
        << QByteArray("upgrade") << identityProbe << QByteArray();
    QTest::newRow("no device") << QByteArray("none") << identityProbe << QByteArray();
}

void TestPlatformSelect::virtualBackendHasAController() {
    QFETCH(QByteArray, env);
    QFETCH(QByteArray, probe);
    QFETCH(QByteArray, replyStart);
    if (!env.isEmpty()) qputenv("KORVALEN_VIRTUAL_DEVICE", env);

    std::string error;
    auto p = createPlatform("virtual", &error);
    QVERIFY2(p, error.c_str());
    QCOMPARE(p->inputCount(), 1u);
    QCOMPARE(p->outputCount(), 1u);
    InputRecorder rec;
    auto in = p->openInput(0, rec.handler(), 0);
    rec.arm(in.get());
    auto out = p->openOutput(0);
    QCOMPARE(out->send(reinterpret_cast<const std::uint8_t*>(probe.constData()),
                       static_cast<std::uint32_t>(probe.size())),
             0);
    p->sleep(50); // virtual time: returns after the answer is in
    const auto got = rec.joined();
    const QByteArray reply(reinterpret_cast<const char*>(got.data()), qsizetype(got.size()));
    if (replyStart.isEmpty()) {
        QVERIFY(reply.isEmpty());
    } else {
        QVERIFY(reply.startsWith(replyStart));
        if (env == "upgrade") QCOMPARE(reply.at(8), char(2));
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

QTEST_GUILESS_MAIN(TestPlatformSelect)
#include "tst_platformselect.moc"
