// The Diagnostics menu against the controller emulator on the virtual bus: the MIDI Monitor
// shows the window's traffic decoded, filters, pauses, keeps at most 10,000 lines, sums up a
// flash in a few lines and stops the tap when closed; the diagnostics report.
#include "connectthread.h"
#include "diagnostics.h"
#include "emulatorbus.h"
#include "emulatordevice.h"
#include "helpmenu.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "monitorwindow.h"
#include "searches.h"
#include "traffictap.h"
#include "virtualbus.h"
#include "waits.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using korvalen::MessageGroup;
using korvalen::midi::Message;

class TestMonitor : public QObject {
    Q_OBJECT

    testsupport::EmulatorBus on;

    std::unique_ptr<Korvalen49_Test> connectedWindow() {
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        if (!testsearch::ended(*window)) return nullptr;
        on.bus->quiesce();
        testwait::until(
            [&] { return window->windowTitle() == "Korvalen25 Editor--------P01 Korvalen"; });
        return window;
    }

    // The monitor, opened from its menu entry.
    static MonitorWindow* openMonitor(Korvalen49_Test& window) {
        auto* action = window.findChild<QAction*>(QStringLiteral("actionMidiMonitor"));
        if (!action) return nullptr;
        action->trigger();
        return window.monitorWindow();
    }

    // Takes the traffic until `line` is among the monitor's lines.
    static void waitForLine(MonitorWindow& monitor, const QString& line) {
        testwait::until([&] {
            monitor.takeTraffic();
            return monitor.lines().join('\n').contains(line);
        });
    }

private slots:
    void init() { on.install(); }
    void cleanup() {
        connectThread.requestStop();
        connectThread.wait();
        on.release();
    }

    void menuComesLastBeforeHelp() {
        auto window = connectedWindow();
        QVERIFY(window);
        const QList<QAction*> menus = window->menuBar()->actions();
        // Only Help comes after it.
        QVERIFY(menus.size() >= 2);
        QAction* diagnostics = menus.at(menus.size() - 2);
        QCOMPARE(helpmenu::shownText(diagnostics->text()), QStringLiteral("Diagnostics"));
        QCOMPARE(menus.last()->menu()->objectName(), QStringLiteral("menuHelp"));
        QStringList entries;
        for (QAction* a : diagnostics->menu()->actions())
            entries << helpmenu::shownText(a->text());
        QCOMPARE(entries, QStringList({"MIDI Monitor", "Diagnostics Report..."}));
    }

    void linesAppearDecoded() {
        auto window = connectedWindow();
        QVERIFY(window);
        QVERIFY(!korvalen::midi::trafficTapAttached());
        MonitorWindow* monitor = openMonitor(*window);
        QVERIFY(monitor && monitor->isVisible());
        QVERIFY(korvalen::midi::trafficTapAttached());

        QVERIFY(window->requestUpload(16));
        waitForLine(*monitor, QStringLiteral("dump end"));
        const QStringList lines = monitor->lines();
        QVERIFY2(lines.first().contains(QRegularExpression(
                     "^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  out  Virtual MIDI Out 1  upload request: "
                     "preset 16 \\(User P17\\)  \\[F0 00 20 6B 02 05 10 00 F7\\]$")),
                 qPrintable(lines.first()));
        QVERIFY(lines.at(1).contains(QLatin1String("in   Virtual MIDI In 1  dump: S1: ")));
        QVERIFY(lines.last().endsWith(QLatin1String("dump end  [F0 05 F7]")));

        // Closed, the link pays nothing: the tap is off and traffic goes unrecorded.
        monitor->close();
        QVERIFY(!korvalen::midi::trafficTapAttached());
        const std::uint64_t before = korvalen::midi::trafficLog().nextSequence();
        QVERIFY(window->requestUpload(17));
        testwait::until([&] { return !window->isUploadPending(); });
        QCOMPARE(korvalen::midi::trafficLog().nextSequence(), before);
        QCOMPARE(monitor->lines(), lines);
    }

    void filterPauseAndClear() {
        auto window = connectedWindow();
        QVERIFY(window);
        MonitorWindow* monitor = openMonitor(*window);
        QVERIFY(window->requestUpload(16));
        waitForLine(*monitor, QStringLiteral("dump end"));
        on.bus->inject(0, Message{0xB0, 0x4A, 0x40});
        waitForLine(*monitor, QStringLiteral("controller 74 Brightness"));
        const int all = monitor->lineCount();

        // The filter as the user picks it in its box.
        auto* kinds = monitor->findChild<QComboBox*>(QStringLiteral("monitorFilter"));
        kinds->setCurrentIndex(kinds->findText(QStringLiteral("Only MIDI messages")));
        QCOMPARE(monitor->shownLineCount(), 1);
        QVERIFY(monitor->lines(true).first().contains(QLatin1String("controller 74")));
        monitor->setFilter(MessageGroup::Dump);
        QCOMPARE(monitor->shownLineCount(), all - 2); // not the request, not the controller
        for (const QString& line : monitor->lines(true))
            QVERIFY2(line.contains(QLatin1String("  dump")), qPrintable(line));
        // Saved as text: the lines shown.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lines.txt"));
        QString error;
        QVERIFY(monitor->saveTo(path, &error));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), monitor->lines(true).join('\n') + '\n');
        QVERIFY(!monitor->saveTo(dir.filePath(QStringLiteral("no/such/lines.txt")), &error));
        QVERIFY(!error.isEmpty());
        monitor->setFilter(std::nullopt);
        QCOMPARE(monitor->shownLineCount(), all);

        // Paused: nothing is added; resumed: a note says how much was left out.
        monitor->findChild<QPushButton*>(QStringLiteral("monitorPause"))->click();
        QVERIFY(monitor->paused());
        on.bus->inject(0, Message{0x90, 0x3C, 0x64});
        on.bus->quiesce();
        monitor->takeTraffic();
        QCOMPARE(monitor->lineCount(), all);
        monitor->setPaused(false);
        QCOMPARE(monitor->lineCount(), all + 1);
        QVERIFY(monitor->lines().last().endsWith(
            QLatin1String("1 line(s) came while the monitor was paused and are not listed")));

        monitor->findChild<QPushButton*>(QStringLiteral("monitorClear"))->click();
        QCOMPARE(monitor->lineCount(), 0);
    }

    void keepsTheLastTenThousandLines() {
        auto window = connectedWindow();
        QVERIFY(window);
        MonitorWindow* monitor = openMonitor(*window);
        monitor->clear();
        // 10,500 messages from the controller, taken in batches that the log holds.
        const int total = MonitorWindow::kMaxLines + 500;
        for (int i = 0; i < total; ++i) {
            on.bus->inject(0, Message{0xB0, std::uint8_t(i % 128), std::uint8_t((i / 128) % 128)});
            if (i % 2000 == 1999 || i == total - 1) {
                on.bus->quiesce();
                monitor->takeTraffic();
            }
        }
        QCOMPARE(monitor->lineCount(), MonitorWindow::kMaxLines);
        const QStringList lines = monitor->lines();
        QVERIFY(!lines.join('\n').contains(QLatin1String("not listed"))); // nothing was lost
        // The first 500 went; the last one is the last sent.
        const int last = total - 1;
        QVERIFY2(lines.last().contains(QStringLiteral("controller %1 ").arg(last % 128)) &&
                     lines.last().contains(QStringLiteral("value %1 ").arg((last / 128) % 128)),
                 qPrintable(lines.last()));
        const int first = 500;
        QVERIFY2(lines.first().contains(QStringLiteral("controller %1 ").arg(first % 128)) &&
                     lines.first().contains(QStringLiteral("value %1 ").arg(first / 128)),
                 qPrintable(lines.first()));
    }

    // A long message's bytes: the list shows the first 64 of them and marks the cut; its tool
    // tip and its text line hold all of them. A short message shows whole.
    void longMessageBytesAreCutInTheListOnly() {
        auto window = connectedWindow();
        QVERIFY(window);
        MonitorWindow* monitor = openMonitor(*window);
        monitor->clear();
        Message longOne{0xF0, 0x7D};
        for (int i = 0; i < 198; ++i)
            longOne.push_back(std::uint8_t(i % 0x70));
        longOne.push_back(0xF7);
        const QString whole =
            QString::fromStdString(korvalen::hexBytes(longOne.data(), longOne.size()));
        on.bus->inject(0, Message{0xB0, 7, 100});
        on.bus->inject(0, longOne);
        on.bus->quiesce();
        testwait::until([&] {
            monitor->takeTraffic();
            return monitor->lineCount() >= 2;
        });
        auto* view = monitor->findChild<QTableView*>(QStringLiteral("monitorLines"));
        QVERIFY(view);
        const QAbstractItemModel* model = view->model();
        const int rows = model->rowCount();
        const QModelIndex shortBytes = model->index(rows - 2, TrafficTableModel::Bytes);
        const QModelIndex longBytes = model->index(rows - 1, TrafficTableModel::Bytes);
        QCOMPARE(shortBytes.data(Qt::DisplayRole).toString(), QStringLiteral("B0 07 64"));
        QCOMPARE(longBytes.data(Qt::ToolTipRole).toString(), whole);
        QCOMPARE(longBytes.data(Qt::DisplayRole).toString(),
                 whole.left(64 * 3 - 1) + QStringLiteral(" ..."));
        QVERIFY(monitor->lines().last().endsWith("[" + whole + "]"));

        // The list lays out only what of a long text can show, and draws it as the style draws
        // the whole text, at any width of the column, selected or not: the pictures are the
        // same.
        view->scrollToBottom();
        QHeaderView* header = view->horizontalHeader();
        header->setStretchLastSection(false);
        QAbstractItemDelegate* own = view->itemDelegate();
        QStyledItemDelegate plain;
        for (const bool selected : {false, true}) {
            if (selected) view->selectRow(rows - 1);
            for (const int width : {40, 97, 240, 610}) {
                header->resizeSection(TrafficTableModel::Bytes, width);
                view->setItemDelegate(own);
                const QImage drawn = view->viewport()->grab().toImage();
                view->setItemDelegate(&plain);
                QCOMPARE(view->viewport()->grab().toImage(), drawn);
            }
        }
        view->clearSelection();
        view->setItemDelegate(own);
    }

    void flashIsSummarised() {
        auto window = connectedWindow();
        QVERIFY(window);
        MonitorWindow* monitor = openMonitor(*window);
        monitor->clear();
        // The controller restarted in upgrade mode.
        korvalen::sim::ControllerEmulator::Options options;
        options.mode = korvalen::sim::ControllerEmulator::Mode::Upgrade;
        on.bus->detachAll();
        on.bus->attach(0, 0, std::make_shared<korvalen::midi::EmulatorDevice>(options));
        korvalen::FirmwareImage image;
        image.body.assign(2500 * 28, 0x5A);
        image.bodyLength = std::uint32_t(image.body.size());
        image.blockCount = 2500;
        image.deviceId = options.upgradeId;
        QVERIFY(connectThread.startRun(image));
        connectThread.wait();
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::Flashed);
        QCOMPARE(korvalen::lastTransfer()->what, std::string("firmware upgrade"));
        QCOMPARE(korvalen::lastTransfer()->outcome, std::string("done, 2500 block(s) taken"));
        monitor->takeTraffic();

        monitor->setFilter(MessageGroup::Firmware);
        const QStringList flash = monitor->lines(true);
        QVERIFY2(flash.size() < 12, qPrintable(flash.join('\n')));
        const QString text = flash.join('\n');
        for (const char* part : {"upgrade probe for device 00 20 6B 02 19",
                                 "firmware start: 2500 blocks", "firmware block 1 of 2500",
                                 "firmware block 1000 of 2500 (998 blocks and 999 "
                                 "requests before it not shown)",
                                 "firmware block 2000 of 2500", "firmware block 2500 of 2500"})
            QVERIFY2(text.contains(QLatin1String(part)), part);
        QVERIFY(flash.last().contains(QLatin1String("next block request")));
    }

    void diagnosticsReport() {
        auto window = connectedWindow();
        QVERIFY(window);
        // Before the monitor was opened, the report says how to get the traffic.
        QString report = window->diagnosticsReportText();
        QVERIFY(report.contains(QLatin1String("Program: korvalen25-editor")));
        QVERIFY(report.contains(QLatin1String("MIDI backend: virtual")));
        QVERIFY(report.contains(QLatin1String("Last search: found the controller")));
        QVERIFY(report.contains(QLatin1String("Last transfer: upload of preset 0 at ")));
        QVERIFY(report.contains(QLatin1String("the MIDI Monitor was not open")));

        MonitorWindow* monitor = openMonitor(*window);
        QVERIFY(window->requestUpload(16));
        waitForLine(*monitor, QStringLiteral("dump end"));
        testwait::until([&] { return !window->isUploadPending(); }); // the window took it
        report = window->diagnosticsReportText();
        QVERIFY(report.contains(QLatin1String("Last transfer: upload of preset 16 at ")));
        QVERIFY(report.contains(QLatin1String("upload request: preset 16 (User P17)")));

        // The menu entry: the report on the clipboard, and a save dialog that does not block.
        auto* action = window->findChild<QAction*>(QStringLiteral("actionDiagnosticsReport"));
        action->trigger();
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            QLatin1String("Korvalen25 diagnostics report, ")));
        auto* dialog = window->findChild<QWidget*>(QStringLiteral("diagnosticsSaveDialog"));
        QVERIFY(dialog && dialog->isVisible());
        dialog->close();
    }

    // The report tells the connection as the window knows it: a controller whose ports have
    // vanished is no longer connected.
    void reportAfterTheControllerIsLost() {
        auto window = connectedWindow();
        QVERIFY(window);
        QVERIFY(!window->diagnosticsReportText().contains(QLatin1String("no longer connected")));
        on.bus->setPortCounts(0, 0);
        window->portWatch().poll();
        QCOMPARE(window->controllerConnection().state(), ControllerConnection::State::Lost);
        const QString report = window->diagnosticsReportText();
        QVERIFY2(report.contains(QLatin1String(", no longer connected\n")), qPrintable(report));
    }
};

QTEST_MAIN(TestMonitor)
#include "test_monitor.moc"
