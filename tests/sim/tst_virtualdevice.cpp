// The controller emulator on the "virtual" backend: the device that KORVALEN_VIRTUAL_DEVICE
// asks for, and what the backend's ports then answer.
#include "inputrecorder.h"
#include "platformfactory.h"
#include "virtualdevice.h"

#include <QtTest>

using namespace korvalen::midi;
using korvalen::sim::attachVirtualDevice;
using korvalen::sim::parseVirtualDevice;
using korvalen::sim::VirtualDeviceChoice;

class TestVirtualDevice : public QObject {
    Q_OBJECT

private slots:
    void init() { qunsetenv("KORVALEN_VIRTUAL_DEVICE"); }
    void virtualDeviceChoice_data();
    void virtualDeviceChoice();
    void virtualBackendHasAController_data();
    void virtualBackendHasAController();
    void unreadableChoiceCreatesNoBackend();
};

void TestVirtualDevice::virtualDeviceChoice_data() {
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

void TestVirtualDevice::virtualDeviceChoice() {
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

void TestVirtualDevice::virtualBackendHasAController_data() {
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

void TestVirtualDevice::virtualBackendHasAController() {
    QFETCH(QByteArray, env);
    QFETCH(QByteArray, probe);
    QFETCH(QByteArray, replyStart);
    if (!env.isEmpty()) qputenv("KORVALEN_VIRTUAL_DEVICE", env);

    std::string error;
    auto p = createPlatform("virtual", &error, attachVirtualDevice);
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

void TestVirtualDevice::unreadableChoiceCreatesNoBackend() {
    qputenv("KORVALEN_VIRTUAL_DEVICE", "flash");
    std::string error;
    QVERIFY(!createPlatform("virtual", &error, attachVirtualDevice));
    QVERIFY2(QString::fromStdString(error).startsWith("KORVALEN_VIRTUAL_DEVICE: "), error.c_str());
}

QTEST_GUILESS_MAIN(TestVirtualDevice)
#include "tst_virtualdevice.moc"
