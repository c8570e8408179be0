// The window's connection to the controller: the search at start-up and on ReConnect, run on a
// thread of its own behind the search window; hot-plug; the port watch; the status bar's notes
// of the link and of the edits; and the MIDI Ports window.
#include "korvalen49_test.h"

#include "choosecontroller.h"
#include "edithistory.h"
#include "librarywindow.h"
#include "midi.h"
#include "portsdialog.h"
#include "portwatch.h"
#include "searchwindow.h"
#include "upgrade.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <atomic>
#include <thread>

using korvalen::midi::SearchEvent;
using korvalen::midi::SearchResult;

void Korvalen49_Test::StatusInit() {
    // Once: a second call would connect every command twice.
    if (statusInitDone) return;
    statusInitDone = true;
    uploadPending = false;
    setUpExtras();
    connect(&midiLink, &midiMethodClass::getMidiSysData, this, &Korvalen49_Test::SysDataInSlot,
            Qt::UniqueConnection);
    connect(&midiLink, &midiMethodClass::getSysData, this, &Korvalen49_Test::SysInSlot,
            Qt::UniqueConnection);
    connectCommands();
    watch->start();
    // The constructor began the search (startUpSearchEnded() takes its result); a window made
    // another way searches from here.
    if (!runningSearch && !searched)
        startSearch({SearchPlan::Purpose::StartUp, tr("Connecting to the Korvalen25"), {}, 0, 0});
    updateCommands();
}

void Korvalen49_Test::startUpSearchEnded(bool found) {
    if (found) {
        connect(&midiLink, &midiMethodClass::getMidiData, this, &Korvalen49_Test::DataInSlot,
                Qt::UniqueConnection);
        // A second connection: every chunk starts two parser runs, and a run that finds the
        // ring empty does nothing.
        connect(&midiLink, &midiMethodClass::getMidiSysData, this, &Korvalen49_Test::SysDataInSlot);
        if (history->modified()) {
            // Edits made while the search ran are not replaced without asking.
            takeConnection(QStringLiteral("Connection"));
            return;
        }
        // Preset 0 is where the edit history begins; without it, the empty preset is.
        history->expectFirstPreset();
        if (!requestUpload(0)) history->resync();
        return;
    }
    tellConnectError();
}

void Korvalen49_Test::tellConnectError() {
    statusBar()->showMessage(QStringLiteral("Connect Error"), kResultTimeoutMs);
    // Told without waiting for the answer: the window goes on.
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Connection"),
                                QStringLiteral("Connect Error!"), QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

void Korvalen49_Test::setUpExtras() {
    if (watch) return;
    watch = new PortWatch(this);
    history = new EditHistory(this);
    editLabel = new QLabel(this);
    editLabel->setObjectName(QStringLiteral("editNote"));
    editLabel->setContentsMargins(0, 0, 12, 0);
    statusBar()->addPermanentWidget(editLabel);
    linkLabel = new QLabel(this);
    linkLabel->setObjectName(QStringLiteral("linkNote"));
    statusBar()->addPermanentWidget(linkLabel);
    uploadTimer.setSingleShot(true);
    uploadTimer.setInterval(kUploadTimeoutMs);
    connect(&uploadTimer, &QTimer::timeout, this, &Korvalen49_Test::uploadTimedOut);
    connect(watch, &PortWatch::pairLost, this, &Korvalen49_Test::controllerLost);
    connect(watch, &PortWatch::polled, this, &Korvalen49_Test::showLinkState);
    connect(watch, &PortWatch::polled, this, &Korvalen49_Test::refreshPortsWindow);
    connect(watch, &PortWatch::polled, this, &Korvalen49_Test::hotPlugCheck);

    // Edits: every change the user makes in a box is one undo step.
    // A change made while a dump comes in becomes part of the upload's step.
    korvalen::setUserEditHook([this] {
        if (!uploadPending) history->userEdited();
    });
    connect(history, &EditHistory::changed, this, &Korvalen49_Test::showEditNote);
    connect(history, &EditHistory::restored, this, &Korvalen49_Test::RefreshTitle);
    connect(history, &EditHistory::restored, this, &Korvalen49_Test::showRestoredPlace);
    showEditNote();

    // The Edit menu comes after "Firmware", so that the menus of the form keep their places.
    QMenu* edit = ui.menuBar->addMenu(tr("Edit"));
    edit->setObjectName(QStringLiteral("menuEdit"));
    actionUndo = edit->addAction(tr("Undo"), this, &Korvalen49_Test::undoSlot);
    actionUndo->setObjectName(QStringLiteral("actionUndo"));
    actionUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    actionRedo = edit->addAction(tr("Redo"), this, &Korvalen49_Test::redoSlot);
    actionRedo->setObjectName(QStringLiteral("actionRedo"));
    actionRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    QUndoStack& stack = history->stack();
    auto follow = [](QAction* action, const QString& verb) {
        return [action, verb](const QString& step) {
            action->setText(step.isEmpty() ? verb : tr("%1 %2").arg(verb, step));
        };
    };
    connect(&stack, &QUndoStack::canUndoChanged, actionUndo, &QAction::setEnabled);
    connect(&stack, &QUndoStack::canRedoChanged, actionRedo, &QAction::setEnabled);
    connect(&stack, &QUndoStack::undoTextChanged, actionUndo, follow(actionUndo, tr("Undo")));
    connect(&stack, &QUndoStack::redoTextChanged, actionRedo, follow(actionRedo, tr("Redo")));
    actionUndo->setEnabled(false);
    actionRedo->setEnabled(false);
    // The Library menu comes after Edit.
    setUpLibraryMenu(*this);

    actionMidiPorts = new QAction(tr("MIDI Ports"), this);
    actionMidiPorts->setObjectName(QStringLiteral("actionMidiPorts"));
    setAcceptDrops(true);
    setUpDiagnostics();
}

// --- The search ------------------------------------------------------------------------------

Korvalen49_Test::RunningSearch::~RunningSearch() {
    if (!worker.joinable()) return;
    midiLink.stopSearch();
    worker.join();
}

bool Korvalen49_Test::startSearch(const SearchPlan& plan) {
    if (runningSearch || downloadJob) return false;
    midiLink.prepareSearch();
    auto options = midiLink.editorSearchOptions();
    options.onlyOutputs = plan.onlyOutputs;
    options.preference = choosecontroller::editorPreference();
    if (plan.attempts > 0) options.attempts = plan.attempts;
    if (plan.countPolls > 0) options.countPolls = plan.countPolls;

    // The window shows only a search that lasts; its steps come from the searching thread and
    // are handed over to this one.
    auto search = std::make_unique<RunningSearch>();
    search->plan = plan;
    auto* window = new SearchWindow(plan.title, this);
    search->window = window;
    options.progress = [window](const SearchEvent& event) { window->post(event); };
    connect(window, &SearchWindow::cancelRequested, this, [] { midiLink.stopSearch(); });
    QTimer::singleShot(kSearchWindowDelayMs, window, [window] { window->show(); });

    RunningSearch* running = search.get();
    runningSearch = std::move(search);
    if (watch) watch->clearPair();
    showLinkState();
    updateCommands();
    running->worker = std::thread([this, running, options] {
        running->result = midiLink.runSearch(options);
        // The window takes the result on its own thread; the search counts as running (and
        // owns the ports) until then.
        QMetaObject::invokeMethod(this, "takeSearchResult", Qt::QueuedConnection);
    });
    return true;
}

void Korvalen49_Test::takeSearchResult() {
    if (!runningSearch) return;
    runningSearch->worker.join();
    const SearchPlan plan = runningSearch->plan;
    const SearchResult result = runningSearch->result;
    SearchWindow* const window = runningSearch->window;
    runningSearch.reset();
    delete window;

    searchRecord = midiLink.lastSearch();
    searched = true;
    const bool found = result == SearchResult::Found;
    lost = false;
    controllerIn = found ? QString::fromStdString(midiLink.controllerInputName()) : QString();
    controllerOut = found ? QString::fromStdString(midiLink.controllerOutputName()) : QString();
    if (found)
        watch->watchPair(controllerIn, controllerOut);
    else
        watch->clearPair();
    showLinkState();
    refreshPortsWindow();
    updateCommands();
    if (found) statusBar()->showMessage(QStringLiteral("Connect OK"), kResultTimeoutMs);
    if (choosecontroller::takeSearchEnd(this, result, searchRecord)) {
        if (plan.purpose != SearchPlan::Purpose::HotPlug) watch->noteCurrentOutputs();
        emit searchFinished(false);
        return;
    }

    switch (plan.purpose) {
    case SearchPlan::Purpose::StartUp:
        // The ports there are now have been searched; hot-plug looks at those that come later.
        watch->noteCurrentOutputs();
        startUpSearchEnded(found);
        break;
    case SearchPlan::Purpose::ReConnect:
        watch->noteCurrentOutputs();
        if (found) {
            takeConnection(QStringLiteral("Connection"));
            break;
        }
        tellConnectError();
        break;
    case SearchPlan::Purpose::HotPlug:
        if (found) {
            takeConnection(QStringLiteral("Connection"));
            break;
        }
        if (!searchRecord.stopped) {
            QStringList names;
            for (const std::string& n : plan.onlyOutputs)
                names << QString::fromStdString(n);
            statusBar()->showMessage(tr("No Korvalen25 answered on the new MIDI port(s) %1. Menu "
                                        "> MIDI Ports shows what each port did.")
                                         .arg(names.join(QStringLiteral(", "))),
                                     kResultTimeoutMs);
        }
        break;
    }
    emit searchFinished(found);
}

QWidget* Korvalen49_Test::searchWindow() const {
    return runningSearch ? runningSearch->window : nullptr;
}

Korvalen49_Test::LinkState Korvalen49_Test::linkState() const {
    if (runningSearch) return LinkState::Searching;
    if (connectThread.isRunning()) return LinkState::Flashing;
    if (downloadJob) return LinkState::Downloading;
    if (lost) return LinkState::Lost;
    if (midiLink.editorConnected()) return LinkState::Connected;
    return LinkState::NotConnected;
}

void Korvalen49_Test::updateCommands() {
    if (!statusInitDone) return; // the form is not made yet
    const LinkState state = linkState();
    const bool portsFree = state != LinkState::Searching && state != LinkState::Downloading &&
                           state != LinkState::Flashing;
    ui.actionReConnect->setEnabled(portsFree);
}

bool Korvalen49_Test::busySearching() {
    if (!runningSearch) return false;
    showFailure(QString(), tr("The editor is searching for the controller. Try again when the "
                              "search has ended."));
    return true;
}

void Korvalen49_Test::takeConnection(const QString& command) {
    // Short messages reach the window only while connected; connect them once.
    connect(&midiLink, &midiMethodClass::getMidiData, this, &Korvalen49_Test::DataInSlot,
            Qt::UniqueConnection);
    if (mayReplaceEdits(command, tr("Reading the controller's preset 0"))) {
        requestUpload(0);
        return;
    }
    statusBar()->showMessage(tr("Connect OK. Your edits were kept; DownLoad sends them to the "
                                "controller."),
                             kResultTimeoutMs);
}

void Korvalen49_Test::reconnectSlot() {
    if (connectThread.isRunning()) {
        showFailure(QStringLiteral("Connection"), tr("A firmware upgrade is using the MIDI ports. "
                                                     "Reconnect when it has ended."));
        return;
    }
    if (busySearching()) return;
    if (downloadJob) {
        showFailure(QStringLiteral("Connection"), tr("A download to the controller is still under "
                                                     "way. Reconnect when it has ended."));
        return;
    }
    abandonUpload(tr("Upload stopped: searching for the controller again. The values from "
                     "before the upload are back."));
    startSearch({SearchPlan::Purpose::ReConnect, tr("Connecting to the Korvalen25"), {}, 0, 0});
}

// --- Hot-plug --------------------------------------------------------------------------------

void Korvalen49_Test::hotPlugCheck() {
    if (runningSearch || downloadJob) return;
    const QStringList fresh = watch->freshOutputs();
    if (fresh.isEmpty()) return;
    if (midiLink.editorConnected() && !lost) {
        watch->noteOutputs(fresh); // nothing to look for
        return;
    }
    // Not now: a firmware upgrade may want the ports, or the user is answering a box. The
    // new ports stay new until the next reading.
    if (connectThread.isRunning() || (upgradeDlg && upgradeDlg->isVisible()) ||
        QApplication::activeModalWidget() != nullptr)
        return;
    watch->noteOutputs(fresh);
    SearchPlan plan{
        SearchPlan::Purpose::HotPlug, tr("Looking at new MIDI ports"), {}, kHotPlugAttempts, 1};
    for (const QString& name : fresh)
        plan.onlyOutputs.push_back(name.toStdString());
    startSearch(plan);
}

// --- The notes of the status bar -------------------------------------------------------------

QString Korvalen49_Test::linkNote() const {
    if (runningSearch) return tr("Searching for the controller...");
    if (lost) return tr("Controller lost (%1)").arg(controllerOut);
    if (midiLink.editorConnected()) return tr("Controller on %1").arg(controllerOut);
    return tr("Not connected");
}

void Korvalen49_Test::showLinkState() {
    if (linkLabel) linkLabel->setText(linkNote());
}

QString Korvalen49_Test::editNote() const {
    return history ? history->note() : QString();
}

void Korvalen49_Test::showEditNote() {
    if (!editLabel) return;
    editLabel->setText(editNote());
    // Nothing to say (no preset has been uploaded, loaded or saved yet): no room taken.
    editLabel->setVisible(!editLabel->text().isEmpty());
}

void Korvalen49_Test::controllerLost() {
    if (lost || !midiLink.editorConnected()) return;
    lost = true;
    watch->clearPair();
    showLinkState();
    if (uploadPending)
        abandonUpload(tr("Upload failed: the controller was lost. The values from before the "
                         "upload are back."));
}

// --- MIDI Ports ------------------------------------------------------------------------------

void Korvalen49_Test::portsSlot() {
    if (!portsWindow) portsWindow = new PortsDialog(this);
    watch->poll();
    refreshPortsWindow();
    portsWindow->show();
    portsWindow->raise();
    portsWindow->activateWindow();
}

void Korvalen49_Test::refreshPortsWindow() {
    if (!portsWindow) return;
    PortsDialog::Facts facts;
    facts.backend = QString::fromStdString(korvalen::midi::platform().apiName());
    facts.inputs = watch->inputs();
    facts.outputs = watch->outputs();
    facts.search = searchRecord;
    facts.searched = searched;
    if (midiLink.editorConnected() || lost) {
        facts.controllerInput = controllerIn;
        facts.controllerOutput = controllerOut;
    }
    portsWindow->setFacts(facts);
}
