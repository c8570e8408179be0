// What the window shows of its connection to the controller: the search window, the results of
// the searches at start-up, on ReConnect and on hot-plug, the status bar's notes of the link and
// of the edits, and the MIDI Ports window. The connection itself (the search's thread, the port
// watch, who holds the ports) is the ControllerConnection's.
#include "korvalen49_test.h"

#include "choosecontroller.h"
#include "diagnostics.h"
#include "edithistory.h"
#include "followcontroller.h"
#include "helpmenu.h"
#include "librarywindow.h"
#include "midi.h"
#include "portsdialog.h"
#include "searchwindow.h"
#include "upgrade.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

using korvalen::midi::SearchEvent;
using korvalen::midi::SearchResult;

void Korvalen49_Test::StatusInit() {
    // Once: a second call would connect every command twice.
    if (statusInitDone) return;
    statusInitDone = true;
    setUpExtras();
    connect(&midiLink, &midiMethodClass::getMidiSysData, this, &Korvalen49_Test::SysDataInSlot,
            Qt::UniqueConnection);
    connect(&midiLink, &midiMethodClass::getSysData, this, &Korvalen49_Test::SysInSlot,
            Qt::UniqueConnection);
    connectCommands();
    // Quit and the Help menu come last, after every other menu of the window.
    helpmenu::setUp(*this, *ui.menuMenu);
    connection.start();
    // The constructor began the search (startUpSearchEnded() takes its result); a window made
    // another way searches from here.
    if (!connection.isSearching() && !connection.searched())
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
    statusBar()->showMessage(tr("Connect Error"), kResultTimeoutMs);
    // Told without waiting for the answer: the window goes on.
    auto* box = new QMessageBox(QMessageBox::Information, tr("Connection"), tr("Connect Error!"),
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

void Korvalen49_Test::setUpExtras() {
    if (history) return;
    history = new EditHistory(this);
    editLabel = new QLabel(this);
    editLabel->setObjectName(QStringLiteral("editNote"));
    editLabel->setContentsMargins(0, 0, 12, 0);
    statusBar()->addPermanentWidget(editLabel);
    linkLabel = new QLabel(this);
    linkLabel->setObjectName(QStringLiteral("linkNote"));
    statusBar()->addPermanentWidget(linkLabel);
    connect(&downloads, &DownloadCommand::runningChanged, this, &Korvalen49_Test::updateCommands);
    connect(&downloads, &DownloadCommand::finished, this, &Korvalen49_Test::downloadFinished);
    connect(&connection, &ControllerConnection::polled, this, &Korvalen49_Test::showLinkState);
    connect(&connection, &ControllerConnection::polled, this, &Korvalen49_Test::refreshPortsWindow);

    // Edits: every change the user makes in a box is one undo step.
    // A change made while a dump comes in becomes part of the upload's step.
    korvalen::setUserEditHook([this] {
        if (!isUploadPending()) history->userEdited();
    });
    connect(history, &EditHistory::changed, this, &Korvalen49_Test::showEditNote);
    connect(history, &EditHistory::restored, this, &Korvalen49_Test::RefreshTitle);
    connect(history, &EditHistory::restored, this, &Korvalen49_Test::showRestoredPlace);
    showEditNote();

    // The Edit menu comes after "Firmware", so that the menus of the form keep their places.
    QMenu* edit = ui.menuBar->addMenu(tr("Edit"));
    edit->setObjectName(QStringLiteral("menuEdit"));
    actionUndo = edit->addAction(tr("&Undo"), this, &Korvalen49_Test::undoSlot);
    actionUndo->setObjectName(QStringLiteral("actionUndo"));
    actionUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    actionRedo = edit->addAction(tr("&Redo"), this, &Korvalen49_Test::redoSlot);
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
    connect(&stack, &QUndoStack::undoTextChanged, actionUndo, follow(actionUndo, tr("&Undo")));
    connect(&stack, &QUndoStack::redoTextChanged, actionRedo, follow(actionRedo, tr("&Redo")));
    actionUndo->setEnabled(false);
    actionRedo->setEnabled(false);
    setUpFollowing(edit);
    // The Library menu comes after Edit.
    libraryMenu = new Library(*this, files, downloads, this);
    libraryMenu->addMenuTo(menuBar());

    actionMidiPorts = new QAction(tr("MIDI Ports"), this);
    actionMidiPorts->setObjectName(QStringLiteral("actionMidiPorts"));
    setAcceptDrops(true);
    setUpDiagnostics();
}

void Korvalen49_Test::setUpFollowing(QMenu* edit) {
    FollowController::Host host;
    // Only while the controller is connected and no transfer reads what it sends.
    host.listening = [this] {
        return connection.state() == ControllerConnection::State::Connected &&
               !connection.transferring() && !downloads.isRunning() && !isUploadPending();
    };
    host.show = [this](const EditHistory::Place& place) { showPlace(place); };
    host.status = [this](const QString& text, int timeoutMs) {
        statusBar()->showMessage(text, timeoutMs);
    };
    follower = new FollowController(std::move(host), this);
    edit->addSeparator();
    edit->addAction(follower->action());
    // The link's short messages come from its input thread, queued.
    connect(
        &midiLink, &midiMethodClass::getMidiData, follower,
        [this](uint data) { follower->shortMessage(data); }, Qt::QueuedConnection);
    // System Exclusive reaches the window through the ring, which the upload reads; what no
    // upload wants is offered here before it is let go.
    uploads.setIdleSysExReader(
        [this](const std::uint8_t* data, std::size_t length) { follower->message(data, length); });
}

// --- The search ------------------------------------------------------------------------------

void Korvalen49_Test::followConnection() {
    connect(&connection, &ControllerConnection::searchStarted, this,
            &Korvalen49_Test::openSearchWindow);
    connect(&connection, &ControllerConnection::searchEnded, this,
            &Korvalen49_Test::takeSearchResult);
    connect(&connection, &ControllerConnection::controllerLost, this,
            &Korvalen49_Test::tellControllerLost);
    connect(&connection, &ControllerConnection::stateChanged, this,
            &Korvalen49_Test::updateCommands);
    // Not now: a firmware upgrade may want the ports, or the user is answering a box.
    // The controller chosen last is the one kept when several answer.
    connection.setSearchPreference(choosecontroller::editorPreference);
    connection.setHotPlugGate([this] {
        return !(upgradeDlg && upgradeDlg->isVisible()) &&
               QApplication::activeModalWidget() == nullptr;
    });
}

bool Korvalen49_Test::startSearch(const SearchPlan& plan) {
    if (downloads.isRunning()) return false;
    return connection.startSearch(plan);
}

void Korvalen49_Test::openSearchWindow() {
    // The window shows only a search that lasts.
    delete searchWin;
    auto* window = new SearchWindow(connection.searchPlan().title, this);
    searchWin = window;
    connect(&connection, &ControllerConnection::searchStepped, window, &SearchWindow::showStep);
    connect(window, &SearchWindow::cancelRequested, &connection, &ControllerConnection::stopSearch);
    QTimer::singleShot(kSearchWindowDelayMs, window, [window] { window->show(); });
    showLinkState();
    updateCommands();
}

void Korvalen49_Test::takeSearchResult(bool found) {
    delete searchWin;
    searchWin = nullptr;
    const SearchPlan& plan = connection.searchPlan();
    showLinkState();
    refreshPortsWindow();
    updateCommands();
    if (found) statusBar()->showMessage(tr("Connect OK"), kResultTimeoutMs);
    if (choosecontroller::takeSearchEnd(this, connection.lastResult(),
                                        connection.lastSearchRecord())) {
        emit searchFinished(false);
        return;
    }

    switch (plan.purpose) {
    case SearchPlan::Purpose::StartUp:
        startUpSearchEnded(found);
        break;
    case SearchPlan::Purpose::ReConnect:
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
        if (!connection.lastSearchRecord().stopped) {
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
    return searchWin;
}

Korvalen49_Test::LinkState Korvalen49_Test::linkState() const {
    switch (connection.state()) {
    case ControllerConnection::State::Searching:
        return LinkState::Searching;
    case ControllerConnection::State::Flashing:
        return LinkState::Flashing;
    default:
        break;
    }
    if (downloads.isRunning()) return LinkState::Downloading;
    switch (connection.state()) {
    case ControllerConnection::State::Lost:
        return LinkState::Lost;
    case ControllerConnection::State::Connected:
        return LinkState::Connected;
    default:
        return LinkState::NotConnected;
    }
}

void Korvalen49_Test::updateCommands() {
    if (!statusInitDone) return; // the form is not made yet
    // A firmware upgrade took the ports from an open upload.
    if (connection.state() == ControllerConnection::State::Flashing && isUploadPending())
        abandonUpload(tr("Upload stopped: a firmware upgrade took the MIDI ports. The values "
                         "from before the upload are back."));
    const LinkState state = linkState();
    const bool portsFree = state != LinkState::Searching && state != LinkState::Downloading &&
                           state != LinkState::Flashing;
    // The commands that use the MIDI ports wait for the search, the download or the upgrade
    // that holds them. (A download asked for during an upload waits for its turn instead. The
    // upload and upgrade windows stay reachable: their OK and Start say why the ports are
    // busy.)
    ui.actionReConnect->setEnabled(portsFree);
    ui.actionDownLoad->setEnabled(portsFree);
    if (auto* compare = findChild<QAction*>(QStringLiteral("actionCompareController")))
        compare->setEnabled(portsFree);
}

bool Korvalen49_Test::busySearching() {
    if (!connection.isSearching()) return false;
    showFailure(QString(), tr("The editor is searching for the controller. Try again when the "
                              "search has ended."));
    return true;
}

void Korvalen49_Test::takeConnection(const QString& command) {
    // Short messages reach the window only while connected; connect them once.
    connect(&midiLink, &midiMethodClass::getMidiData, this, &Korvalen49_Test::DataInSlot,
            Qt::UniqueConnection);
    mayReplaceEdits(
        command, tr("Reading the controller's preset 0"), [this] { requestUpload(0); },
        [this] {
            statusBar()->showMessage(tr("Connect OK. Your edits were kept; DownLoad sends them "
                                        "to the controller."),
                                     kResultTimeoutMs);
        });
}

void Korvalen49_Test::reconnectSlot() {
    if (linkState() == LinkState::Flashing) {
        showFailure(QStringLiteral("Connection"), tr("A firmware upgrade is using the MIDI ports. "
                                                     "Reconnect when it has ended."));
        return;
    }
    if (busySearching()) return;
    if (downloads.isRunning()) {
        showFailure(QStringLiteral("Connection"), tr("A download to the controller is still under "
                                                     "way. Reconnect when it has ended."));
        return;
    }
    abandonUpload(tr("Upload stopped: searching for the controller again. The values from "
                     "before the upload are back."));
    startSearch({SearchPlan::Purpose::ReConnect, tr("Connecting to the Korvalen25"), {}, 0, 0});
}

// --- The notes of the status bar -------------------------------------------------------------

QString Korvalen49_Test::linkNote() const {
    switch (connection.state()) {
    case ControllerConnection::State::Searching:
        return tr("Searching for the controller...");
    case ControllerConnection::State::Lost:
        return tr("Controller lost (%1)").arg(connection.controllerOutput());
    case ControllerConnection::State::Connected:
        return tr("Controller on %1").arg(connection.controllerOutput());
    default:
        return tr("Not connected");
    }
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

void Korvalen49_Test::tellControllerLost() {
    showLinkState();
    if (isUploadPending())
        abandonUpload(tr("Upload failed: the controller was lost. The values from before the "
                         "upload are back."));
}

// --- MIDI Ports ------------------------------------------------------------------------------

void Korvalen49_Test::portsSlot() {
    if (!portsWindow) portsWindow = new PortsDialog(this);
    connection.portWatch().poll();
    refreshPortsWindow();
    portsWindow->show();
    portsWindow->raise();
    portsWindow->activateWindow();
}

void Korvalen49_Test::refreshPortsWindow() {
    if (!portsWindow) return;
    PortsDialog::Facts facts;
    facts.backend = QString::fromStdString(korvalen::midi::platform().apiName());
    facts.server = korvalen::midiServerWords(korvalen::midi::platform().midiServer());
    facts.inputs = connection.portWatch().inputs();
    facts.outputs = connection.portWatch().outputs();
    facts.search = connection.lastSearchRecord();
    facts.searched = connection.searched();
    facts.controllerInput = connection.controllerInput();
    facts.controllerOutput = connection.controllerOutput();
    portsWindow->setFacts(facts);
}
