// The device search on the virtual bus, in virtual time: which pair it keeps when replies come
// late or from the wrong device, the probing order, the confirmation, stopping, and what it
// records port by port.
#include "devicesearch.h"
#include "identitycontroller.h"
#include "platformfactory.h"
#include "virtualbus.h"
#include "waits.h"

#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

using korvalen::midi::DeviceSearch;
using korvalen::midi::Message;
using korvalen::midi::PortTable;
using korvalen::midi::ReplyMatch;
using korvalen::midi::SearchEvent;
using korvalen::midi::SearchResult;
using korvalen::midi::StopToken;
using korvalen::midi::VirtualBus;

Q_DECLARE_METATYPE(SearchResult)

namespace {

const Message kProbe(korvalen::kIdentityProbe.begin(), korvalen::kIdentityProbe.end());

// The identity reply is the device; a reply with 5A 75 instead of 5A 74 is another device.
ReplyMatch matchIdentity(const std::uint8_t* data, std::size_t length) {
    if (korvalen::isIdentityReply(data, length)) return {ReplyMatch::Kind::Device};
    Message other = testsupport::identityReply();
    other[9] = 0x75;
    if (Message(data, data + length) == other) return {ReplyMatch::Kind::Other, 7};
    return {};
}

// The receiving side of a link: it gives every filled buffer back to its port.
DeviceSearch::Options searchOptions(PortTable& table, std::vector<SearchEvent>* events = nullptr) {
    DeviceSearch::Options o;
    o.probe = kProbe;
    o.matcher = matchIdentity;
    o.forward = [&table](std::uintptr_t port, const korvalen::midi::InputEvent& event) {
        if (event.recorded != 0) table.requeueBuffer(static_cast<int>(port));
    };
    if (events) o.progress = [events](const SearchEvent& e) { events->push_back(e); };
    return o;
}

std::size_t probesOn(const VirtualBus& bus, unsigned output) {
    std::size_t n = 0;
    for (const Message& m : bus.sent(output))
        if (m == kProbe) ++n;
    return n;
}

// A client whose ports take everything and answer nothing.
std::vector<Message> silent(const Message&) {
    return {};
}

// Zero ports and real time; counts its port-count readings.
class RealTimeNoPorts final : public korvalen::midi::Platform {
public:
    std::atomic<int> readings{0};
    std::string apiName() const override { return "test"; }
    unsigned inputCount() override {
        ++readings;
        return 0;
    }
    unsigned outputCount() override { return 0; }
    std::unique_ptr<korvalen::midi::InputPort> openInput(unsigned, korvalen::midi::InputHandler,
                                                         std::uintptr_t) override {
        return nullptr;
    }
    std::unique_ptr<korvalen::midi::OutputPort> openOutput(unsigned) override { return nullptr; }
    void sleep(unsigned ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    using Platform::sleep;
    std::vector<std::string> inputNames() override { return {}; }
    std::vector<std::string> outputNames() override { return {}; }
};

// The controller: it answers every probe, the first after `firstDelay` ms and each later one
// (the confirmation) after `laterDelay` ms.
class SlowToConfirm final : public korvalen::midi::VirtualDevice {
public:
    SlowToConfirm(unsigned firstDelay, unsigned laterDelay)
        : firstDelay_(firstDelay), laterDelay_(laterDelay) {}
    std::vector<Message> receive(const Message& m) override {
        return testsupport::answerIdentityProbe(m);
    }
    unsigned replyDelayFor(const Message&) const override {
        return probes_++ == 0 ? firstDelay_ : laterDelay_;
    }

private:
    unsigned firstDelay_;
    unsigned laterDelay_;
    mutable std::atomic<int> probes_{0};
};

} // namespace

class TestDeviceSearch : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;
    std::unique_ptr<PortTable> table;
    StopToken stop;

private slots:
    void init() {
        bus = std::make_shared<VirtualBus>();
        korvalen::midi::setPlatform(bus);
        table = std::make_unique<PortTable>();
        stop.clear();
    }

    void cleanup() {
        table.reset();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        bus.reset();
    }

    // The controller on one pair, a client that never answers on the other; the controller
    // answers `delay` ms after each probe. Whatever the order and the delay, the controller's
    // own pair is kept, and nothing else stays open.
    void keepsTheControllersPairWhenItAnswersLate_data() {
        QTest::addColumn<unsigned>("devicePair");
        QTest::addColumn<unsigned>("delay");
        for (unsigned pair : {0u, 1u})
            for (unsigned delay : {0u, 40u, 60u, 100u, 400u})
                QTest::addRow("controller on pair %u, %u ms", pair, delay) << pair << delay;
    }
    void keepsTheControllersPairWhenItAnswersLate() {
        QFETCH(unsigned, devicePair);
        QFETCH(unsigned, delay);
        bus->setPortCounts(2, 2);
        bus->attach(devicePair, devicePair, testsupport::answerIdentityProbe, delay);
        bus->attach(1 - devicePair, 1 - devicePair, silent);
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.run(), SearchResult::Found);
        QCOMPARE(search.record().inPort, int(devicePair));
        QCOMPARE(search.record().outPort, int(devicePair));
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{devicePair});
        QCOMPARE(bus->openInputs(), std::vector<unsigned>{devicePair});
        QCOMPARE(search.record().lateReplySeen, delay > 50);
    }

    // A reply that comes after the window of its probe is noticed and lengthens the window. A
    // stale reply that lands in the window of another output is not enough to keep that
    // output: its confirmation gets no answer, and the controller's own pair is kept.
    void lateReplyIsNotCreditedToAnotherOutput() {
        bus->setPortCounts(1, 2);
        bus->attach(0, 1, testsupport::answerIdentityProbe, 65);
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.findDevice(), SearchResult::NotFound);
        QCOMPARE(bus->now(), std::uint64_t{60});
        // Attempt 2 at once: both outputs probed at 70; the first attempt's reply comes at 75.
        // Output 0 alone at 120: the reply to the probe of 70 comes at 135, in its window; its
        // confirmation hears nothing up to 1135. Output 1 alone then, with the window
        // lengthened: answered at 1200, confirmed at 1265.
        QCOMPARE(search.findDevice(2), SearchResult::Found);
        QCOMPARE(search.record().outPort, 1);
        QCOMPARE(search.record().inPort, 0);
        QVERIFY(search.record().lateReplySeen);
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{1});
        QCOMPARE(bus->now(), std::uint64_t{1265});
    }

    // Replies that come only after an attempt has ended lengthen the window of the next one.
    void lateReplyLengthensTheNextAttempt() {
        bus->setPortCounts(1, 2);
        bus->attach(0, 1, testsupport::answerIdentityProbe, 65);
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.run(), SearchResult::Found);
        const auto& rec = search.record();
        QCOMPARE(rec.attempts, 2);
        QCOMPARE(rec.replyWaitMs, 100u);
        QCOMPARE(rec.outPort, 1);
        QVERIFY(!rec.outputs[0].answered);
        // Attempt 1 ends at 60, the pause at 1060; both outputs probed at 1070 and heard at
        // 1135; output 0 alone to 1270, output 1 alone answered at 1335, confirmed at 1400.
        QCOMPARE(bus->now(), std::uint64_t{1400});
    }

    // Outputs named "Korvalen" are probed first: the controller is found with one probe and its
    // confirmation, and the other outputs are not asked (a second controller would have a port
    // of that name too).
    void korvalenOutputsAreProbedFirst() {
        bus->setPortCounts(3, 3);
        bus->setOutputName(2, "Korvalen25:Korvalen25 Out");
        bus->setInputName(2, "Korvalen25:Korvalen25 In");
        bus->attach(2, 2, testsupport::answerIdentityProbe);
        std::vector<SearchEvent> events;
        DeviceSearch search(*table, searchOptions(*table, &events), stop);
        QCOMPARE(search.run(), SearchResult::Found);
        QCOMPARE(probesOn(*bus, 2), std::size_t{2});
        QCOMPARE(probesOn(*bus, 0), std::size_t{0});
        QCOMPARE(probesOn(*bus, 1), std::size_t{0});
        const auto& rec = search.record();
        QCOMPARE(rec.outputs.size(), std::size_t{3});
        QCOMPARE(rec.outputs[2].name, std::string("Korvalen25:Korvalen25 Out"));
        QVERIFY(rec.outputs[2].opened && rec.outputs[2].probed && rec.outputs[2].answered);
        QVERIFY(!rec.outputs[0].opened && !rec.outputs[1].opened);
        // Nor are the other inputs opened: they are not tried, and did not fail.
        QVERIFY(rec.inputs[2].opened && rec.inputs[2].answered);
        for (int i : {0, 1}) {
            QVERIFY(!rec.inputs[i].opened);
            QCOMPARE(rec.inputs[i].failure, korvalen::midi::OpenFailure::None);
        }
        QCOMPARE(events.front().kind, SearchEvent::Kind::Attempt);
        auto probing = std::find_if(events.begin(), events.end(), [](const SearchEvent& e) {
            return e.kind == SearchEvent::Kind::Probing;
        });
        QCOMPARE(probing->port, 2);
        auto found = std::find_if(events.begin(), events.end(), [](const SearchEvent& e) {
            return e.kind == SearchEvent::Kind::Found;
        });
        QCOMPARE(found->name, std::string("Korvalen25:Korvalen25 Out"));
        QCOMPARE(rec.devices.size(), std::size_t{1});
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{2});
        // The controller's output alone: its window and the confirmation.
        QCOMPARE(bus->now(), std::uint64_t{60});
    }

    // Clients that never answer are listed before the controller. A controller named
    // "Korvalen" is asked first and alone: the others are not asked. Otherwise every output is
    // probed in one window, so with names that tell which output goes with the input that
    // answered the search takes the virtual time of the controller alone; with plain names
    // each silent output ahead of the controller is asked alone once, one window each.
    void silentPairsBeforeTheController_data() {
        QTest::addColumn<unsigned>("silentPairs");
        QTest::addColumn<QString>("names");
        QTest::addColumn<std::uint64_t>("end");
        for (unsigned n : {0u, 1u, 8u, 19u}) {
            QTest::addRow("%u silent, Korvalen names", n) << n << "korvalen" << std::uint64_t{60};
            QTest::addRow("%u silent, client names", n) << n << "client" << std::uint64_t{60};
            QTest::addRow("%u silent, plain names", n)
                << n << "plain" << std::uint64_t{60 + 50 * n};
        }
    }
    void silentPairsBeforeTheController() {
        QFETCH(unsigned, silentPairs);
        QFETCH(QString, names);
        QFETCH(std::uint64_t, end);
        const unsigned pairs = silentPairs + 1;
        bus->setPortCounts(pairs, pairs);
        for (unsigned k = 0; k < silentPairs; ++k) {
            if (names != "plain") {
                bus->setInputName(k, "Quiet" + std::to_string(k) + ":midi_in");
                bus->setOutputName(k, "Quiet" + std::to_string(k) + ":midi_out");
            }
            bus->attach(k, k, silent);
        }
        if (names == "korvalen") {
            bus->setInputName(silentPairs, "Korvalen25 MIDI 1 in");
            bus->setOutputName(silentPairs, "Korvalen25 MIDI 1 out");
        } else if (names == "client") {
            bus->setInputName(silentPairs, "Synth:capture");
            bus->setOutputName(silentPairs, "Synth:playback");
        }
        bus->attach(silentPairs, silentPairs, testsupport::answerIdentityProbe);
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.run(), SearchResult::Found);
        QCOMPARE(search.record().inPort, int(silentPairs));
        QCOMPARE(search.record().outPort, int(silentPairs));
        QCOMPARE(search.record().attempts, 1);
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{silentPairs});
        QCOMPARE(bus->openInputs(), std::vector<unsigned>{silentPairs});
        QCOMPARE(bus->now(), end);
        // The silent inputs are opened only when the controller is not named "Korvalen".
        for (unsigned k = 0; k < silentPairs; ++k)
            QCOMPARE(search.record().inputs[k].opened, names != "korvalen");
        // Each silent output: none when the controller is named; else the probe of the common
        // window, and one alone with plain names.
        const std::size_t silentProbes = names == "korvalen" ? 0 : names == "plain" ? 2 : 1;
        for (unsigned k = 0; k < silentPairs; ++k)
            QCOMPARE(probesOn(*bus, k), silentProbes);
        // The controller: the common window, asked alone (unless it was the only output asked),
        // and the confirmation.
        const bool alone = silentPairs == 0 || names == "korvalen";
        QCOMPARE(probesOn(*bus, silentPairs), std::size_t{alone ? 2u : 3u});
    }

    // A port named "Korvalen" that does not answer does not hide a controller on ports of other
    // names: those are asked after it.
    void controllerBehindASilentKorvalenPort() {
        bus->setPortCounts(3, 3);
        bus->setInputName(0, "Korvalen25 MIDI 1 in");
        bus->setOutputName(0, "Korvalen25 MIDI 1 out");
        bus->attach(0, 0, silent);
        bus->attach(1, 1, silent);
        bus->attach(2, 2, testsupport::answerIdentityProbe);
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.run(), SearchResult::Found);
        QCOMPARE(search.record().outPort, 2);
        QCOMPARE(search.record().inPort, 2);
        QCOMPARE(probesOn(*bus, 0), std::size_t{1});
        QCOMPARE(probesOn(*bus, 1), std::size_t{2});
        QCOMPARE(probesOn(*bus, 2), std::size_t{3});
        // The named output's window, the others' common window, output 1 alone; output 2
        // answers at once alone and to its confirmation.
        QCOMPARE(bus->now(), std::uint64_t{60 + 60 + 50});
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{2});
    }

    // An output named "Korvalen" whose answer comes in on an input of another name (a bridge
    // that renames one side): the first attempt, with only the named input open while it is
    // asked, hears nothing; the second opens every input first and finds it.
    void korvalenOutputAnsweringOnAnotherInput() {
        bus->setPortCounts(3, 3);
        bus->setOutputName(0, "Korvalen25:Korvalen25 Out");
        bus->setInputName(0, "Korvalen25:Korvalen25 In");
        bus->setInputName(1, "bridge:capture_1");
        bus->attach(1, 0, testsupport::answerIdentityProbe); // output 0 answers on input 1
        bus->attach(0, 1, silent);
        bus->attach(2, 2, silent);
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.run(), SearchResult::Found);
        QCOMPARE(search.record().attempts, 2);
        QCOMPARE(search.record().outPort, 0);
        QCOMPARE(search.record().inPort, 1);
        for (int i : {0, 1, 2})
            QVERIFY(search.record().inputs[i].opened);
    }

    // Two controllers listed after eight silent clients: both are heard in the common window
    // and both are found, in one attempt; with no preference neither is kept, with one the
    // named one is.
    void twoControllersAfterSilentPairs_data() {
        QTest::addColumn<QString>("preference");
        QTest::addColumn<SearchResult>("result");
        QTest::addColumn<int>("kept");
        QTest::newRow("no preference") << QString() << SearchResult::NotChosen << -1;
        QTest::newRow("the first") << "MIDI 1" << SearchResult::Found << 8;
        QTest::newRow("the second") << "MIDI 2" << SearchResult::Found << 9;
    }
    void twoControllersAfterSilentPairs() {
        QFETCH(QString, preference);
        QFETCH(SearchResult, result);
        QFETCH(int, kept);
        bus->setPortCounts(10, 10);
        for (unsigned k = 0; k < 8; ++k)
            bus->attach(k, k, silent);
        for (unsigned k : {8u, 9u}) {
            const std::string name = "Korvalen25 MIDI " + std::to_string(k - 7);
            bus->setInputName(k, name + " in");
            bus->setOutputName(k, name + " out");
            bus->attach(k, k, testsupport::answerIdentityProbe);
        }
        auto options = searchOptions(*table);
        options.preference.name = preference.toStdString();
        DeviceSearch search(*table, options, stop);
        QCOMPARE(search.run(), result);
        const auto& rec = search.record();
        QCOMPARE(rec.attempts, 1);
        QCOMPARE(rec.devices.size(), std::size_t{2});
        QCOMPARE(rec.devices[0].inPort, 8);
        QCOMPARE(rec.devices[0].outPort, 8);
        QCOMPARE(rec.devices[1].inPort, 9);
        QCOMPARE(rec.devices[1].outPort, 9);
        QCOMPARE(rec.outPort, kept);
        QCOMPARE(bus->now(), std::uint64_t{60});
        if (kept < 0) {
            QVERIFY(bus->openOutputs().empty());
            QVERIFY(bus->openInputs().empty());
        } else {
            QCOMPARE(bus->openOutputs(), std::vector<unsigned>{unsigned(kept)});
            QCOMPARE(bus->openInputs(), std::vector<unsigned>{unsigned(kept)});
        }
    }

    void portNamesThatPair_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("input");
        QTest::addColumn<bool>("pair");
        QTest::newRow("both Korvalen") << "Korvalen25 MIDI 1 out"
                                       << "Korvalen25:in" << true;
        QTest::newRow("one Korvalen") << "Korvalen25 out"
                                      << "Synth:in" << false;
        QTest::newRow("same client") << "Synth:playback"
                                     << "Synth:capture" << true;
        QTest::newRow("other client") << "Synth:playback"
                                      << "Synth2:capture" << false;
        QTest::newRow("no client") << "Virtual MIDI Out 1"
                                   << "Virtual MIDI In 1" << false;
        QTest::newRow("empty client") << ":a"
                                      << ":b" << false;
    }
    void portNamesThatPair() {
        QFETCH(QString, output);
        QFETCH(QString, input);
        QFETCH(bool, pair);
        QCOMPARE(korvalen::midi::portNamesPair(output.toStdString(), input.toStdString()), pair);
    }

    void probingOrderPutsKorvalenNamesFirst() {
        const std::vector<std::string> names{"a", "Korvalen25 B", "c", "x Korvalen25", "e"};
        QCOMPARE(korvalen::midi::probingOrder(names), (std::vector<unsigned>{1, 3, 0, 2, 4}));
    }

    // A device that answers the first probe but not the confirmation is not taken.
    void unconfirmedDeviceIsNotTaken() {
        bus->setPortCounts(1, 1);
        auto answers = std::make_shared<int>(0);
        bus->attach(0, 0, [answers](const Message& m) {
            return (*answers)++ == 0 ? testsupport::answerIdentityProbe(m) : std::vector<Message>{};
        });
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.findDevice(), SearchResult::NotFound);
        QCOMPARE(probesOn(*bus, 0), std::size_t{2});
        QVERIFY(bus->openOutputs().empty());
    }

    // The confirmation waits up to a second for the chosen input, however quickly the first
    // probe was answered: a controller that is slow to answer it once is still taken.
    void confirmationWaitsASecond_data() {
        QTest::addColumn<unsigned>("delay");
        QTest::addColumn<SearchResult>("result");
        QTest::addColumn<std::uint64_t>("end");
        // Opened at 0, probed at 10, the probe window ends at 60; the confirmation goes then.
        QTest::newRow("at once") << 0u << SearchResult::Found << std::uint64_t{60};
        QTest::newRow("after 300 ms") << 300u << SearchResult::Found << std::uint64_t{360};
        QTest::newRow("after 990 ms") << 990u << SearchResult::Found << std::uint64_t{1050};
        QTest::newRow("after 1010 ms") << 1010u << SearchResult::NotFound << std::uint64_t{1060};
    }
    void confirmationWaitsASecond() {
        QFETCH(unsigned, delay);
        QFETCH(SearchResult, result);
        QFETCH(std::uint64_t, end);
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, std::make_shared<SlowToConfirm>(0, delay));
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.findDevice(), result);
        QCOMPARE(bus->now(), end);
        QCOMPARE(probesOn(*bus, 0), std::size_t{2});
    }

    // During the confirmation only the chosen input counts: an identity reply that comes
    // first on another input (a second device behind the same output) neither takes the place
    // of the controller's nor ends the wait.
    void confirmationHearsOnlyTheChosenInput() {
        bus->setPortCounts(2, 1);
        bus->attach(0, 0, testsupport::answerIdentityProbe, 5);
        auto probes = std::make_shared<int>(0);
        bus->attach(1, 0, [probes](const Message& m) {
            // Silent at the first probe, so input 0 is the one chosen; answers at once after.
            return (*probes)++ == 0 ? std::vector<Message>{} : testsupport::answerIdentityProbe(m);
        });
        DeviceSearch search(*table, searchOptions(*table), stop);
        QCOMPARE(search.findDevice(), SearchResult::Found);
        QCOMPARE(search.record().inPort, 0);
        QCOMPARE(search.record().outPort, 0);
        // Probe window to 60; the confirmation ends with the controller's reply at 65.
        QCOMPARE(bus->now(), std::uint64_t{65});
        QCOMPARE(search.record().devices.size(), std::size_t{1});
    }

    // The answer of another kind of device is noted and reported, never chosen.
    void otherDeviceIsNotedNotChosen() {
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, [](const Message& m) {
            Message reply = testsupport::identityReply();
            reply[9] = 0x75;
            return m == kProbe ? std::vector<Message>{reply} : std::vector<Message>{};
        });
        std::vector<SearchEvent> events;
        DeviceSearch search(*table, searchOptions(*table, &events), stop);
        QCOMPARE(search.findDevice(), SearchResult::NotFound);
        QVERIFY(search.record().otherDeviceSeen);
        QVERIFY(search.record().inputs[0].answered);
        QVERIFY(!search.record().outputs[0].answered);
        auto answer = std::find_if(events.begin(), events.end(), [](const SearchEvent& e) {
            return e.kind == SearchEvent::Kind::Answer;
        });
        QVERIFY(answer != events.end());
        QCOMPARE(answer->match, (ReplyMatch{ReplyMatch::Kind::Other, 7}));
    }

    // Inputs but no output: each attempt says so, and the search ends after ten attempts.
    void noOutputPortIsReportedEachAttempt() {
        bus->setPortCounts(1, 0);
        std::vector<SearchEvent> events;
        DeviceSearch search(*table, searchOptions(*table, &events), stop);
        QCOMPARE(search.run(), SearchResult::NotFound);
        const auto n = std::count_if(events.begin(), events.end(), [](const SearchEvent& e) {
            return e.kind == SearchEvent::Kind::NoOutputPort;
        });
        QCOMPARE(n, 10);
        QCOMPARE(bus->now(), std::uint64_t{10 * 10 * 1000 + 9 * 1000});
    }

    // A stop request ends the search in the middle of its pauses, in virtual time.
    void stopEndsTheSearchAtOnce() {
        bus->setPortCounts(1, 0);
        auto options = searchOptions(*table);
        options.progress = [this](const SearchEvent& e) {
            if (e.kind == SearchEvent::Kind::Attempt && e.attempt == 3) stop.requestStop();
        };
        DeviceSearch search(*table, options, stop);
        QCOMPARE(search.run(), SearchResult::Stopped);
        QVERIFY(search.record().stopped);
        // Two whole attempts and their pauses; the third ends at its first pause.
        QCOMPARE(bus->now(), std::uint64_t{2 * (10 * 1000 + 1000)});
        QVERIFY(bus->openInputs().empty());
    }

    // The same from another thread in real time: the search stops within its first pause
    // instead of reading the counts ten times a second apart.
    void stopFromAnotherThreadEndsARealTimeWait() {
        auto platform = std::make_shared<RealTimeNoPorts>();
        korvalen::midi::setPlatform(platform);
        std::atomic<bool> started{false};
        auto options = searchOptions(*table);
        options.progress = [&](const SearchEvent&) { started = true; };
        DeviceSearch search(*table, options, stop);
        SearchResult result = SearchResult::Found;
        std::thread worker([&] { result = search.run(); });
        KORVALEN_TRY_VERIFY(started.load());
        stop.requestStop();
        worker.join();
        QCOMPARE(result, SearchResult::Stopped);
        QVERIFY(platform->readings.load() <= 2);
    }
};

QTEST_GUILESS_MAIN(TestDeviceSearch)
#include "tst_devicesearch.moc"
