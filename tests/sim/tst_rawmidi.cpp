// korvalen25-sim's raw MIDI side: the byte stream split into messages, the device found by its
// sound card's id, and a device (a pseudo-terminal here) opened, read, written and closed as a
// pulled cable closes it.
#include "rawmidi.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using korvalen::sim::Message;
using korvalen::sim::MidiStreamParser;
using korvalen::sim::RawMidiDevice;

Q_DECLARE_METATYPE(Message)
Q_DECLARE_METATYPE(std::vector<Message>)

namespace {

std::vector<Message> split(const Message& bytes, std::size_t chunk) {
    MidiStreamParser parser;
    std::vector<Message> out;
    for (std::size_t i = 0; i < bytes.size(); i += chunk)
        parser.feed(bytes.data() + i, std::min(chunk, bytes.size() - i),
                    [&](const Message& m) { out.push_back(m); });
    return out;
}

} // namespace

class TestRawMidi : public QObject {
    Q_OBJECT

private slots:
    void parser_data() {
        QTest::addColumn<Message>("bytes");
        QTest::addColumn<std::vector<Message>>("messages");
        QTest::newRow("a SysEx message") << Message{0xF0, 0x00, 0x20, 0x6B, 0xF7}
                                         << std::vector<Message>{{0xF0, 0x00, 0x20, 0x6B, 0xF7}};
        QTest::newRow("clock inside a SysEx message is dropped")
            << Message{0xF0, 0x01, 0xF8, 0x02, 0xFE, 0xF7}
            << std::vector<Message>{{0xF0, 0x01, 0x02, 0xF7}};
        QTest::newRow("running status")
            << Message{0x90, 0x3C, 0x40, 0x3E, 0x41, 0xB1, 0x07, 0x64}
            << std::vector<Message>{{0x90, 0x3C, 0x40}, {0x90, 0x3E, 0x41}, {0xB1, 0x07, 0x64}};
        QTest::newRow("program change has one data byte")
            << Message{0xC0, 0x05, 0x06} << std::vector<Message>{{0xC0, 0x05}, {0xC0, 0x06}};
        QTest::newRow("a SysEx message broken off is dropped")
            << Message{0xF0, 0x01, 0x02, 0x90, 0x3C, 0x40}
            << std::vector<Message>{{0x90, 0x3C, 0x40}};
        QTest::newRow("time code is dropped with its data byte")
            << Message{0xF1, 0x23, 0xF6, 0xF2, 0x01, 0x02}
            << std::vector<Message>{{0xF6}, {0xF2, 0x01, 0x02}};
        QTest::newRow("data bytes without a status are dropped")
            << Message{0x01, 0x02, 0xF7, 0x03} << std::vector<Message>{};
        QTest::newRow("a system message ends running status")
            << Message{0x90, 0x3C, 0x40, 0xF6, 0x3E, 0x41}
            << std::vector<Message>{{0x90, 0x3C, 0x40}, {0xF6}};
    }
    void parser() {
        QFETCH(Message, bytes);
        QFETCH(std::vector<Message>, messages);
        // Whole, and a byte at a time: a read may end anywhere.
        QCOMPARE(split(bytes, bytes.size() ? bytes.size() : 1), messages);
        QCOMPARE(split(bytes, 1), messages);
    }

    void cardById() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("cards"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(" 0 [VirMIDI        ]: VirMIDI - VirMIDI\n"
                "                      Virtual MIDI Card 1\n"
                " 1 [Korvalen25     ]: USB-Audio - Korvalen25\n"
                "                      Korvalen Korvalen25 at usb-dummy_hcd.0-1, high speed\n"
                "12 [gadget         ]: f_midi - f_midi\n"
                "                      f_midi\n");
        f.close();
        const std::string cards = path.toStdString();
        QCOMPARE(korvalen::sim::rawMidiPath("gadget", cards), std::string("/dev/snd/midiC12D0"));
        QCOMPARE(korvalen::sim::rawMidiPath("GADGET", cards), std::string("/dev/snd/midiC12D0"));
        QCOMPARE(korvalen::sim::rawMidiPath("Korvalen25", cards), std::string("/dev/snd/midiC1D0"));
        QCOMPARE(korvalen::sim::rawMidiPath("gadge", cards), std::string());
        QCOMPARE(korvalen::sim::rawMidiPath("/dev/snd/midiC3D0", cards),
                 std::string("/dev/snd/midiC3D0"));
        QCOMPARE(korvalen::sim::rawMidiPath("gadget", dir.filePath("none").toStdString()),
                 std::string());
    }

    void neverAppears() {
        std::string failure;
        RawMidiDevice::Events events;
        events.failed = [&](const std::string& what) { failure = what; };
        RawMidiDevice device("no-such-card", 0, events);
        QVERIFY(!device.run());
        QVERIFY2(failure.find("no-such-card") != std::string::npos, failure.c_str());
    }

    // A pseudo-terminal in raw mode stands for the device: its other end is the host.
    void servesADevice() {
        const int host = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(host >= 0);
        QCOMPARE(::grantpt(host), 0);
        QCOMPARE(::unlockpt(host), 0);
        const std::string path = ::ptsname(host);
        termios raw{};
        QCOMPARE(::tcgetattr(host, &raw), 0);
        ::cfmakeraw(&raw);
        QCOMPARE(::tcsetattr(host, TCSANOW, &raw), 0);

        std::mutex mutex;
        std::vector<std::string> opened, closed;
        std::vector<Message> received;
        RawMidiDevice::Events events;
        events.opened = [&](const std::string& p) {
            std::lock_guard lock(mutex);
            opened.push_back(p);
        };
        events.closed = [&](const std::string& why) {
            std::lock_guard lock(mutex);
            closed.push_back(why);
        };
        events.message = [&](const Message& m) {
            std::lock_guard lock(mutex);
            received.push_back(m);
        };
        RawMidiDevice device(path, 60000, events);
        std::thread reader([&] { device.run(); });
        auto count = [&](auto& list) {
            std::lock_guard lock(mutex);
            return list.size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(count(opened), std::size_t(1), 60000);
        QCOMPARE(opened.front(), path);

        // The host sends a SysEx message in two writes, then a note.
        const Message first{0xF0, 0x00, 0x20}, rest{0x6B, 0x7F, 0xF7, 0x90, 0x3C, 0x40};
        QCOMPARE(::write(host, first.data(), first.size()), ssize_t(first.size()));
        QCOMPARE(::write(host, rest.data(), rest.size()), ssize_t(rest.size()));
        QTRY_COMPARE_WITH_TIMEOUT(count(received), std::size_t(2), 60000);
        QCOMPARE(received[0], (Message{0xF0, 0x00, 0x20, 0x6B, 0x7F, 0xF7}));
        QCOMPARE(received[1], (Message{0x90, 0x3C, 0x40}));

        // What the simulator sends reaches the host whole.
        const Message answer{0xF0, 0x7D, 0x01, 0x02, 0xF7};
        QVERIFY(device.send(answer));
        Message got;
        while (got.size() < answer.size()) {
            pollfd p{host, POLLIN, 0};
            QVERIFY(::poll(&p, 1, 60000) == 1);
            std::uint8_t b[64];
            const auto n = ::read(host, b, sizeof b);
            QVERIFY(n > 0);
            got.insert(got.end(), b, b + n);
        }
        QCOMPARE(got, answer);

        // A pulled cable: closed at once, and not opened again while the device is still there.
        device.close();
        QTRY_COMPARE_WITH_TIMEOUT(count(closed), std::size_t(1), 60000);
        QCOMPARE(closed.front(), std::string("cable pulled"));
        QVERIFY(!device.send(answer));
        QTest::qWait(200);
        QCOMPARE(count(opened), std::size_t(1));

        device.stop();
        reader.join();
        ::close(host);
    }
};

QTEST_GUILESS_MAIN(TestRawMidi)
#include "tst_rawmidi.moc"
