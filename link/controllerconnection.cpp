#include "controllerconnection.h"

#include "connectthread.h"
#include "midi.h"

#include <QMetaObject>

using korvalen::midi::SearchEvent;
using korvalen::midi::SearchResult;

namespace {

// The connection the upgrade worker asks for the ports.
ControllerConnection* claimOwner = nullptr;

} // namespace

ControllerConnection::ControllerConnection(QObject* parent) : QObject(parent) {
    connect(&watch_, &PortWatch::pairLost, this, &ControllerConnection::markLost);
    connect(&watch_, &PortWatch::polled, this, [this] {
        emit polled();
        hotPlugCheck();
    });
    // Every upgrade run asks the newest connection for the ports first. The editor is not
    // connected once it has ended.
    claimOwner = this;
    connectThread.setPortsClaim([this] { return claimForFlash(); });
    connect(&connectThread, &QThread::started, this, [this] { emit stateChanged(state()); });
    connect(&connectThread, &QThread::finished, this, &ControllerConnection::flashEnded);
}

ControllerConnection::~ControllerConnection() {
    if (claimOwner == this) {
        claimOwner = nullptr;
        connectThread.setPortsClaim({});
    }
    shutDown();
}

ControllerConnection::State ControllerConnection::state() const {
    // An upgrade run holds the ports as long as its thread runs, whether or not its end has
    // been told here yet.
    if (state_ == State::Flashing && !connectThread.isRunning()) return State::NotConnected;
    return state_;
}

void ControllerConnection::setState(State state) {
    if (state == state_) return;
    state_ = state;
    emit stateChanged(state);
}

bool ControllerConnection::startSearch(const SearchPlan& plan) {
    if (portsHolder() != Holder::None || state() == State::Flashing) return false;
    connectThread.releasePorts();
    midiLink.prepareSearch();
    auto options = midiLink.editorSearchOptions();
    options.onlyOutputs = plan.onlyOutputs;
    if (preference_) options.preference = preference_();
    if (plan.attempts > 0) options.attempts = plan.attempts;
    if (plan.countPolls > 0) options.countPolls = plan.countPolls;
    // The steps come from the searching thread and are handed over to this one.
    options.progress = [this](const SearchEvent& event) { post(event); };

    plan_ = plan;
    step_ = SearchEvent{};
    running_ = std::make_unique<RunningSearch>();
    watch_.clearPair();
    setState(State::Searching);
    emit searchStarted();
    RunningSearch* running = running_.get();
    running->worker = std::thread([this, running, options] {
        running->result = midiLink.runSearch(options);
        // The result is taken on the connection's thread; the search counts as running (and
        // owns the ports) until then.
        QMetaObject::invokeMethod(this, "takeSearchResult", Qt::QueuedConnection);
    });
    return true;
}

void ControllerConnection::stopSearch() {
    midiLink.stopSearch();
}

void ControllerConnection::shutDown() {
    if (!running_) return;
    midiLink.stopSearch();
    if (running_->worker.joinable()) running_->worker.join();
    running_.reset();
}

void ControllerConnection::post(const SearchEvent& event) {
    bool first = false;
    {
        std::lock_guard lock(postMutex_);
        first = posted_.empty();
        posted_.push_back(event);
    }
    if (first) QMetaObject::invokeMethod(this, "showPostedSteps", Qt::QueuedConnection);
}

void ControllerConnection::showPostedSteps() {
    std::vector<SearchEvent> steps;
    {
        std::lock_guard lock(postMutex_);
        steps.swap(posted_);
    }
    // Steps that come after the search's end have nobody to tell.
    if (!running_) return;
    for (const SearchEvent& step : steps) {
        step_ = step;
        emit searchStepped(step);
    }
}

void ControllerConnection::takeSearchResult() {
    if (!running_) return;
    running_->worker.join();
    const SearchResult result = running_->result;
    result_ = result;
    running_.reset();
    {
        std::lock_guard lock(postMutex_);
        posted_.clear();
    }

    record_ = midiLink.lastSearch();
    searched_ = true;
    const bool found = result == SearchResult::Found;
    controllerIn_ = found ? QString::fromStdString(midiLink.controllerInputName()) : QString();
    controllerOut_ = found ? QString::fromStdString(midiLink.controllerOutputName()) : QString();
    if (found)
        watch_.watchPair(controllerIn_, controllerOut_);
    else
        watch_.clearPair();
    // The ports there are now have been searched; hot-plug looks at those that come later.
    if (plan_.purpose != SearchPlan::Purpose::HotPlug) watch_.noteCurrentOutputs();
    setState(found ? State::Connected : State::NotConnected);
    emit searchEnded(found);
    exchangeEnded();
}

bool ControllerConnection::controllerPresent() {
    if (state_ != State::Connected) return false;
    if (midiLink.controllerPortsPresent()) return true;
    markLost();
    return false;
}

void ControllerConnection::markLost() {
    if (state_ != State::Connected) return;
    watch_.clearPair();
    setState(State::Lost);
    emit controllerLost();
}

void ControllerConnection::hotPlugCheck() {
    if (portsHolder() != Holder::None) return;
    const QStringList fresh = watch_.freshOutputs();
    if (fresh.isEmpty()) return;
    if (state_ == State::Connected) {
        watch_.noteOutputs(fresh); // nothing to look for
        return;
    }
    // Not now: a firmware upgrade holds the ports, or the window holds the search back. The
    // new ports stay new until the next reading.
    if (state() == State::Flashing || (hotPlugGate_ && !hotPlugGate_())) return;
    watch_.noteOutputs(fresh);
    SearchPlan plan{
        SearchPlan::Purpose::HotPlug, tr("Looking at new MIDI ports"), {}, kHotPlugAttempts, 1};
    for (const QString& name : fresh)
        plan.onlyOutputs.push_back(name.toStdString());
    startSearch(plan);
}

bool ControllerConnection::claimForUpload() {
    if (uploading_) return true;
    if (portsHolder() != Holder::None || state_ != State::Connected) return false;
    uploading_ = true;
    return true;
}

void ControllerConnection::releaseUpload() {
    if (!uploading_) return;
    uploading_ = false;
    exchangeEnded();
}

bool ControllerConnection::claimForTransfer() {
    if (portsHolder() != Holder::None || state_ != State::Connected) return false;
    transferring_ = true;
    midiLink.deliverToRingOnly();
    return true;
}

void ControllerConnection::releaseTransfer() {
    if (!transferring_) return;
    transferring_ = false;
    midiLink.deliverToWindowAgain();
    exchangeEnded();
}

ControllerConnection::Holder ControllerConnection::portsHolder() const {
    if (running_) return Holder::Search;
    if (uploading_) return Holder::Upload;
    if (transferring_) return Holder::Transfer;
    return Holder::None;
}

void ControllerConnection::whenFree(const QString& what, std::function<void()> run) {
    waiting_.push_back({what, std::move(run)});
    emit waitingChanged();
    exchangeEnded(); // nothing may hold the ports: then its turn is now
}

QStringList ControllerConnection::waiting() const {
    QStringList names;
    for (const Waiting& w : waiting_)
        names << w.what;
    return names;
}

void ControllerConnection::dropWaiting() {
    if (waiting_.empty()) return;
    waiting_.clear();
    emit waitingChanged();
}

void ControllerConnection::exchangeEnded() {
    // The turn is given from the event loop: whoever ended the exchange has finished first.
    if (turnPosted_ || waiting_.empty()) return;
    turnPosted_ = true;
    QMetaObject::invokeMethod(this, &ControllerConnection::runWaiting, Qt::QueuedConnection);
}

void ControllerConnection::runWaiting() {
    turnPosted_ = false;
    if (waiting_.empty() || portsHolder() != Holder::None || state() == State::Flashing) return;
    Waiting next = std::move(waiting_.front());
    waiting_.erase(waiting_.begin());
    emit waitingChanged();
    next.run();
    // A command that took no exchange leaves the turn to the next one.
    exchangeEnded();
}

bool ControllerConnection::claimForFlash() {
    // An upload gives way: the upgrade takes every port, and the window closes the upload.
    if (running_ || transferring_) return false;
    uploading_ = false;
    // The editor sends nothing from here on, and its ports are closed: the upgrade opens the
    // ones it needs in a table of its own.
    midiLink.resetPortTable();
    midiLink.closeOutput();
    watch_.clearPair();
    setState(State::Flashing);
    return true;
}

void ControllerConnection::flashEnded() {
    if (state_ != State::Flashing || connectThread.isRunning()) return;
    setState(State::NotConnected);
    exchangeEnded();
}
