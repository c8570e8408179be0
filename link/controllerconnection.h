// The editor's connection to the controller, and the one owner of the MIDI ports. It runs the
// device search on a thread of its own, watches the port list once a second (the controller's
// pair, and outputs that appear), knows when the controller is lost, and decides who holds
// the ports: a search, a preset transfer of the editor or a firmware upgrade. What it learns
// reaches the window by signals, on the thread the connection lives on.
#pragma once

#include "devicesearch.h"
#include "portwatch.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ControllerConnection : public QObject {
    Q_OBJECT

public:
    enum class State {
        NotConnected, // no search found the controller yet, or none was made
        Searching,    // a search owns the ports
        Connected,
        Lost,     // the controller's ports have vanished
        Flashing, // a firmware upgrade owns the ports
    };

    // A search: the start-up and ReConnect search every output up to ten times; a hot-plug
    // search asks only the outputs that have just appeared, a few times.
    struct SearchPlan {
        // What the search is for: what the window does with its result.
        enum class Purpose { StartUp, ReConnect, HotPlug };
        Purpose purpose = Purpose::ReConnect;
        QString title;
        std::vector<std::string> onlyOutputs; // empty: every output
        int attempts = 0;                     // 0: the link's own counts
        int countPolls = 0;
    };

    static constexpr int kHotPlugAttempts = 5;

    explicit ControllerConnection(QObject* parent = nullptr);
    ~ControllerConnection() override;

    State state() const;
    bool isSearching() const { return running_ != nullptr; }
    // Begins a search on a thread of its own. False when the ports are not free: a search, a
    // transfer or a firmware upgrade holds them.
    bool startSearch(const SearchPlan& plan);
    // Ends a running search at once, as not found. Any thread.
    void stopSearch();
    // Stops a running search and waits for its thread; its result is not taken.
    void shutDown();
    // The plan of the running search, or of the last one once it has ended.
    const SearchPlan& searchPlan() const { return plan_; }
    // The last step of the running search (what the search window shows).
    const korvalen::midi::SearchEvent& searchStep() const { return step_; }

    // What the last search saw; false/empty before the first one has ended.
    bool searched() const { return searched_; }
    const korvalen::midi::SearchRecord& lastSearchRecord() const { return record_; }
    // The controller's port names while connected or lost (empty otherwise).
    QString controllerInput() const { return hasController() ? controllerIn_ : QString(); }
    QString controllerOutput() const { return hasController() ? controllerOut_ : QString(); }

    // The port list, read once a second once start() was called.
    PortWatch& portWatch() { return watch_; }
    void start() { watch_.start(); }

    // True when connected and both of the controller's ports are still listed; a controller
    // whose ports have vanished is lost from here on.
    bool controllerPresent();
    // The controller's ports have vanished (seen by the port watch, or before a transfer).
    void markLost();

    // Hot-plug: while no controller is connected (or it was lost), outputs that have appeared
    // since the last look are searched. Called after every reading of the port list; `gate`
    // may hold a new search back (the outputs stay new until the next reading).
    void hotPlugCheck();
    void setHotPlugGate(std::function<bool()> gate) { hotPlugGate_ = std::move(gate); }
    // Which controller a search keeps when several answer; asked at the start of each search.
    void setSearchPreference(std::function<korvalen::midi::PortPreference()> preference) {
        preference_ = std::move(preference);
    }
    // How the last search ended.
    korvalen::midi::SearchResult lastResult() const { return result_; }

    // One exchange with the controller at a time: a search, an upload, a transfer (a download
    // with its snapshot read and read-back, or a read of a stored preset) or a firmware
    // upgrade. Whoever holds the exchange is the one reader of the link's ring.
    //
    // An upload of the editor takes the connected controller's ring; its dump is read on the
    // connection's thread. False when anything else holds the ports.
    bool claimForUpload();
    void releaseUpload();
    bool uploading() const { return uploading_; }
    // A preset transfer of the editor takes the connected controller's ring and ports.
    bool claimForTransfer();
    void releaseTransfer();
    bool transferring() const { return transferring_; }
    // A command that waits for its turn: `run` is called on the connection's thread once the
    // exchange in progress has ended, in the order the commands came. `what` names it while
    // it waits. A command that waits is run even when the exchange before it failed; it
    // checks for itself whether it can go on.
    void whenFree(const QString& what, std::function<void()> run);
    // The names of the commands that wait, oldest first.
    QStringList waiting() const;
    // Forgets the commands that wait (the window closes).
    void dropWaiting();
    // A firmware upgrade takes every port from the editor: the editor's ports are closed and
    // the editor is not connected until a search finds the controller again. False when a
    // search or a transfer holds the ports. The upgrade worker asks this before each run; the
    // ports count as the upgrade's until its run has ended.
    bool claimForFlash();
    // Why an upgrade cannot take the ports now, or None.
    enum class Holder { None, Search, Upload, Transfer };
    Holder portsHolder() const;

signals:
    void stateChanged(ControllerConnection::State state);
    // A search has begun; searchPlan() tells what for.
    void searchStarted();
    // A step of the running search, on the connection's thread.
    void searchStepped(const korvalen::midi::SearchEvent& step);
    // The search has ended and its result is taken: true when the controller was found.
    void searchEnded(bool found);
    // The controller's ports have vanished.
    void controllerLost();
    // After every reading of the port list.
    void polled();
    // A command began to wait, or its turn came.
    void waitingChanged();

private slots:
    // Called by name from the searching thread.
    void takeSearchResult();
    void showPostedSteps();

private:
    bool hasController() const { return state_ == State::Connected || state_ == State::Lost; }
    void setState(State state);
    void flashEnded();
    void post(const korvalen::midi::SearchEvent& event);
    // The exchange has ended: the next command that waits gets its turn.
    void exchangeEnded();
    void runWaiting();

    struct RunningSearch {
        std::thread worker;
        korvalen::midi::SearchResult result = korvalen::midi::SearchResult::NotFound;
    };
    std::unique_ptr<RunningSearch> running_;
    SearchPlan plan_;
    korvalen::midi::SearchEvent step_;
    std::mutex postMutex_;
    std::vector<korvalen::midi::SearchEvent> posted_;

    State state_ = State::NotConnected;
    bool transferring_ = false;
    bool uploading_ = false;
    struct Waiting {
        QString what;
        std::function<void()> run;
    };
    std::vector<Waiting> waiting_;
    bool turnPosted_ = false;
    bool searched_ = false;
    korvalen::midi::SearchRecord record_;
    QString controllerIn_;
    QString controllerOut_;
    PortWatch watch_;
    std::function<bool()> hotPlugGate_;
    std::function<korvalen::midi::PortPreference()> preference_;
    korvalen::midi::SearchResult result_ = korvalen::midi::SearchResult::NotFound;
};
