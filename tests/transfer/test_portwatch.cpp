// The port watch on the virtual bus: when the controller's pair counts as gone, and how often
// the port list is read.
#include "platformfactory.h"
#include "portwatch.h"
#include "virtualbus.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using korvalen::midi::VirtualBus;

class TestPortWatch : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;

private slots:
    void init() {
        bus = std::make_shared<VirtualBus>();
        korvalen::midi::setPlatform(bus);
    }

    void cleanup() {
        korvalen::midi::setPlatform(nullptr);
        bus.reset();
    }

    // The pair is there only while both of its ports are listed; a watched pair that is not
    // is reported once.
    void pairNeedsBothPorts_data() {
        QTest::addColumn<unsigned>("inputs");
        QTest::addColumn<unsigned>("outputs");
        QTest::addColumn<bool>("lost");
        QTest::newRow("both listed") << 1u << 1u << false;
        QTest::newRow("input gone") << 0u << 1u << true;
        QTest::newRow("output gone") << 1u << 0u << true;
        QTest::newRow("both gone") << 0u << 0u << true;
    }
    void pairNeedsBothPorts() {
        QFETCH(unsigned, inputs);
        QFETCH(unsigned, outputs);
        QFETCH(bool, lost);
        bus->setPortCounts(1, 1);
        const QString in = QString::fromStdString(bus->inputName(0));
        const QString out = QString::fromStdString(bus->outputName(0));
        PortWatch watch;
        QSignalSpy spy(&watch, &PortWatch::pairLost);
        watch.watchPair(in, out);
        watch.poll();
        QCOMPARE(spy.size(), 0);

        bus->setPortCounts(inputs, outputs);
        watch.poll();
        QCOMPARE(PortWatch::pairListed(watch.inputs(), watch.outputs(), in, out), !lost);
        QCOMPARE(spy.size(), lost ? 1 : 0);
        if (lost) QCOMPARE(spy.first(), (QList<QVariant>{in, out}));
        watch.poll(); // once only
        QCOMPARE(spy.size(), lost ? 1 : 0);
    }

    // Once started, the list is read about once a second: not before 0.9 s, and by 1.5 s.
    // The two marks are timers of the same thread, so they keep their order with the watch's
    // however slowly the machine runs.
    void readsTheListEverySecond() {
        bus->setPortCounts(1, 1);
        PortWatch watch;
        QSignalSpy polled(&watch, &PortWatch::polled);
        int pollsAtEarly = -1;
        int pollsAtLate = -1;
        watch.start();
        QTimer early;
        QTimer late;
        for (QTimer* mark : {&early, &late}) {
            mark->setSingleShot(true);
            mark->setTimerType(Qt::PreciseTimer);
        }
        connect(&early, &QTimer::timeout, this, [&] { pollsAtEarly = int(polled.size()); });
        connect(&late, &QTimer::timeout, this, [&] { pollsAtLate = int(polled.size()); });
        early.start(900);
        late.start(1500);
        while (pollsAtLate < 0)
            QTest::qWait(50);
        QCOMPARE(pollsAtEarly, 0);
        QCOMPARE(pollsAtLate, 1);
        QCOMPARE(watch.inputs().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPortWatch)
#include "test_portwatch.moc"
