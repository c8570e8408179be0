// Two controllers on the MIDI ports: which one a search keeps (the decision as a table), and
// searches on the virtual bus in virtual time with two controller emulators, one on each pair
// of ports.
#include "devicesearch.h"
#include "emulatordevice.h"
#include "platformfactory.h"
#include "presetprotocol.h"
#include "virtualbus.h"

#include <QTest>

#include <memory>

using korvalen::midi::DeviceChoice;
using korvalen::midi::DeviceSearch;
using korvalen::midi::EmulatorDevice;
using korvalen::midi::FoundDevice;
using korvalen::midi::Message;
using korvalen::midi::PortPreference;
using korvalen::midi::PortTable;
using korvalen::midi::ReplyMatch;
using korvalen::midi::SearchEvent;
using korvalen::midi::SearchResult;
using korvalen::midi::StopToken;
using korvalen::midi::VirtualBus;

Q_DECLARE_METATYPE(DeviceChoice)
Q_DECLARE_METATYPE(SearchResult)

namespace {

using Kind = DeviceChoice::Kind;

const Message kProbe(korvalen::kIdentityProbe.begin(), korvalen::kIdentityProbe.end());

FoundDevice device(int pair, const std::string& name) {
    return {pair, pair, name + " In", name + " Out"};
}

const std::vector<FoundDevice> kTwo{device(0, "Korvalen25 A"), device(1, "Korvalen25 B")};

DeviceSearch::Options searchOptions(PortTable& table, std::vector<SearchEvent>* events) {
    DeviceSearch::Options o;
    o.probe = kProbe;
    o.matcher = [](const std::uint8_t* data, std::size_t length) {
        return korvalen::isIdentityReply(data, length) ? ReplyMatch{ReplyMatch::Kind::Device}
                                                       : ReplyMatch{};
    };
    o.forward = [&table](std::uintptr_t port, const korvalen::midi::InputEvent& event) {
        if (event.recorded != 0) table.requeueBuffer(static_cast<int>(port));
    };
    o.progress = [events](const SearchEvent& e) { events->push_back(e); };
    return o;
}

std::size_t probesOn(const VirtualBus& bus, unsigned output) {
    std::size_t n = 0;
    for (const Message& m : bus.sent(output))
        if (m == kProbe) ++n;
    return n;
}

} // namespace

class TestTwoControllers : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;
    std::unique_ptr<PortTable> table;
    StopToken stop;
    std::vector<SearchEvent> events;

    // Three pairs: "Other synth" on pair 0 answers nothing; controllers on pairs 1 and 2
    // unless `second` is false.
    void twoControllers(bool second = true) {
        bus->setPortCounts(3, 3);
        const char* names[] = {"Other synth", "Korvalen25 MIDI 1", "Korvalen25 MIDI 2"};
        for (unsigned p = 0; p < 3; ++p) {
            bus->setInputName(p, std::string(names[p]) + " in");
            bus->setOutputName(p, std::string(names[p]) + " out");
        }
        bus->attach(0, 0, [](const Message&) { return std::vector<Message>{}; });
        bus->attach(1, 1, std::make_shared<EmulatorDevice>());
        if (second) bus->attach(2, 2, std::make_shared<EmulatorDevice>());
    }

private slots:
    void init() {
        bus = std::make_shared<VirtualBus>();
        korvalen::midi::setPlatform(bus);
        table = std::make_unique<PortTable>();
        stop.clear();
        events.clear();
    }

    void cleanup() {
        table.reset();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        bus.reset();
    }

    void choice_data() {
        QTest::addColumn<std::vector<FoundDevice>>("found");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("required");
        QTest::addColumn<DeviceChoice>("expected");
        const std::vector<FoundDevice> none;
        const std::vector<FoundDevice> one{device(3, "Korvalen25 A")};
        const std::vector<FoundDevice> prefix{device(0, "Korvalen25"), device(1, "Korvalen25 2")};
        QTest::newRow("none answered") << none << "" << false << DeviceChoice{};
        QTest::newRow("none answered, a name") << none << "A" << true << DeviceChoice{};
        QTest::newRow("one, no name") << one << "" << false << DeviceChoice{Kind::Chosen, 0};
        QTest::newRow("one, its name") << one << "A In" << true << DeviceChoice{Kind::Chosen, 0};
        QTest::newRow("one, another name") << one << "B" << false << DeviceChoice{Kind::Chosen, 0};
        QTest::newRow("one, another name required")
            << one << "B" << true << DeviceChoice{Kind::NotChosen, -1};
        QTest::newRow("two, no name") << kTwo << "" << false << DeviceChoice{Kind::NotChosen, -1};
        QTest::newRow("two, the second's output")
            << kTwo << "25 B Out" << false << DeviceChoice{Kind::Chosen, 1};
        QTest::newRow("two, the first's input")
            << kTwo << "25 A In" << true << DeviceChoice{Kind::Chosen, 0};
        QTest::newRow("two, any case")
            << kTwo << "korvalen25 b" << true << DeviceChoice{Kind::Chosen, 1};
        QTest::newRow("two, a name of both")
            << kTwo << "Korvalen" << false << DeviceChoice{Kind::NotChosen, -1};
        QTest::newRow("two, a name of neither")
            << kTwo << "Z" << false << DeviceChoice{Kind::NotChosen, -1};
        QTest::newRow("two, a name of neither, required")
            << kTwo << "Z" << true << DeviceChoice{Kind::NotChosen, -1};
        QTest::newRow("in both, whole name of the first")
            << prefix << "korvalen25 in" << true << DeviceChoice{Kind::Chosen, 0};
        QTest::newRow("in both, whole name of neither")
            << prefix << "Korvalen25" << true << DeviceChoice{Kind::NotChosen, -1};
    }
    void choice() {
        QFETCH(std::vector<FoundDevice>, found);
        QFETCH(QString, name);
        QFETCH(bool, required);
        QFETCH(DeviceChoice, expected);
        const DeviceChoice got =
            korvalen::midi::chooseController(found, PortPreference{name.toStdString(), required});
        QCOMPARE(int(got.kind), int(expected.kind));
        QCOMPARE(got.index, expected.index);
    }

    void nameContains() {
        using korvalen::midi::portNameContains;
        QVERIFY(portNameContains("Korvalen25:Korvalen25 MIDI 1 24:0", "midi 1"));
        QVERIFY(portNameContains("abc", ""));
        QVERIFY(!portNameContains("Korvalen25 MIDI 1", "MIDI 2"));
        QVERIFY(!portNameContains("ab", "abc"));
    }

    // Two controllers and no preference: both are found in one attempt, the search keeps
    // neither and no port stays open; both are heard in the window that asks the Korvalen outputs.
    void twoAnswerWithoutPreference() {
        twoControllers();
        DeviceSearch search(*table, searchOptions(*table, &events), stop);
        QCOMPARE(search.run(), SearchResult::NotChosen);
        const auto& rec = search.record();
        QCOMPARE(rec.attempts, 1);
        QCOMPARE(rec.devices.size(), std::size_t{2});
        QCOMPARE(rec.devices[0],
                 (FoundDevice{1, 1, "Korvalen25 MIDI 1 in", "Korvalen25 MIDI 1 out"}));
        QCOMPARE(rec.devices[1],
                 (FoundDevice{2, 2, "Korvalen25 MIDI 2 in", "Korvalen25 MIDI 2 out"}));
        QCOMPARE(rec.inPort, -1);
        QCOMPARE(rec.outPort, -1);
        QVERIFY(bus->openOutputs().empty());
        QVERIFY(bus->openInputs().empty());
        QCOMPARE(events.back().kind, SearchEvent::Kind::Several);
        // The Korvalen outputs probed in one window, then each asked alone and confirmed,
        // answered at once; the other output is not asked once a controller has answered.
        QCOMPARE(probesOn(*bus, 1), std::size_t{3});
        QCOMPARE(probesOn(*bus, 2), std::size_t{3});
        QCOMPARE(probesOn(*bus, 0), std::size_t{0});
        QCOMPARE(bus->now(), std::uint64_t{60});
    }

    // A preference picks either controller, whichever is found first, and leaves only its pair
    // open.
    void preferenceKeepsTheNamedOne_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("required");
        QTest::addColumn<int>("pair");
        QTest::newRow("the first found") << "midi 1" << true << 1;
        QTest::newRow("the second found") << "MIDI 2 OUT" << true << 2;
        QTest::newRow("the second, remembered") << "Korvalen25 MIDI 2 out" << false << 2;
    }
    void preferenceKeepsTheNamedOne() {
        QFETCH(QString, name);
        QFETCH(bool, required);
        QFETCH(int, pair);
        twoControllers();
        auto options = searchOptions(*table, &events);
        options.preference = {name.toStdString(), required};
        DeviceSearch search(*table, options, stop);
        QCOMPARE(search.run(), SearchResult::Found);
        QCOMPARE(search.record().inPort, pair);
        QCOMPARE(search.record().outPort, pair);
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{unsigned(pair)});
        QCOMPARE(bus->openInputs(), std::vector<unsigned>{unsigned(pair)});
        // The kept output is the one the chosen controller answers on.
        const auto sentBefore = bus->sent(unsigned(pair)).size();
        QCOMPARE(table->sendSysEx(kProbe.data(), std::uint32_t(kProbe.size())), 0);
        bus->sleep(1);
        QCOMPARE(bus->sent(unsigned(pair)).size(), sentBefore + 1);
    }

    // A remembered name that no controller has any more: with one controller it is taken, with
    // two the search asks; a required name takes neither.
    void staleOrRequiredPreference_data() {
        QTest::addColumn<bool>("second");
        QTest::addColumn<bool>("required");
        QTest::addColumn<SearchResult>("result");
        QTest::newRow("one, remembered") << false << false << SearchResult::Found;
        QTest::newRow("one, required") << false << true << SearchResult::NotChosen;
        QTest::newRow("two, remembered") << true << false << SearchResult::NotChosen;
    }
    void staleOrRequiredPreference() {
        QFETCH(bool, second);
        QFETCH(bool, required);
        QFETCH(SearchResult, result);
        twoControllers(second);
        auto options = searchOptions(*table, &events);
        options.preference = {"Korvalen25 MIDI 9", required};
        DeviceSearch search(*table, options, stop);
        QCOMPARE(search.run(), result);
        // Not chosen ends the search at once: a name that matches nothing is not retried.
        QCOMPARE(search.record().attempts, 1);
        QCOMPARE(search.record().devices.size(), std::size_t(second ? 2 : 1));
        QCOMPARE(bus->openOutputs().size(), std::size_t{result == SearchResult::Found});
    }

    // A controller that answers through a second output as well (a reply on the same input) is
    // one controller, not two.
    void oneControllerBehindTwoOutputsIsOne() {
        bus->setPortCounts(1, 2);
        auto emulator = std::make_shared<EmulatorDevice>();
        bus->attach(0, 0, emulator);
        bus->attach(0, 1, emulator);
        DeviceSearch search(*table, searchOptions(*table, &events), stop);
        QCOMPARE(search.run(), SearchResult::Found);
        QCOMPARE(search.record().devices.size(), std::size_t{1});
        QCOMPARE(search.record().outPort, 0);
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{0});
    }
};

QTEST_GUILESS_MAIN(TestTwoControllers)
#include "tst_twocontrollers.moc"
