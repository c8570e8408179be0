// Construction, initialisation and slots of the editor's main window.
#include "korvalen49_test.h"

#include "accessibility.h"
#include "customTab.h"
#include "edithistory.h"
#include "laterpages.h"
#include "librarywindow.h"
#include "logo.h"
#include "midi.h"
#include "nametables.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "textfit.h"
#include "upgrade.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDial>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>

namespace {

// A frame drawn around a box that undo or redo has just changed, above it on its panel; the
// mouse goes through it to the box.
class ChangeMark : public QWidget {
public:
    explicit ChangeMark(QWidget* box) : QWidget(box->parentWidget()) {
        setObjectName(QStringLiteral("changeMark"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(box->geometry().adjusted(-kWidth, -kWidth, kWidth, kWidth));
        raise();
        show();
    }

    static constexpr int kWidth = 2;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 140, 0), kWidth));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }
};

} // namespace

Korvalen49_Test::Korvalen49_Test(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags) {
    // The search for the controller runs on its thread while the window is made, and goes on
    // beside it once it is shown; the window takes its result when the thread is done.
    followConnection();
    startSearch({SearchPlan::Purpose::StartUp, tr("Connecting to the Korvalen25"), {}, 0, 0});
    textfit::chooseFallbackFonts();
    ui.setupUi(this);
    // Texts the fonts at hand would clip are drawn narrower (textfit.h).
    textfit::fitTexts(this);
    putPanelsFirstInTabOrder();
    findLogo(ui.widget);
    // The upload and upgrade dialogs are made when first needed.

    InitEditor();
    StatusInit();
    a11y::describeMainForm(this);
}

// The form makes the picture before the page widget, so the focus chain runs from the window
// through the picture to the panels. Tab, and the first focus when the window is shown, take
// the chain from the window on: moving the window to just after the picture's last widget
// puts the panels first again, with the picture after them, as the form lists them.
void Korvalen49_Test::putPanelsFirstInTabOrder() {
    QWidget* lastOfPicture = nullptr;
    for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain())
        if (w->focusPolicy() != Qt::NoFocus && ui.backLayer3->isAncestorOf(w)) lastOfPicture = w;
    if (lastOfPicture == nullptr) return;
    // The toolkit orders only widgets that take the focus.
    const Qt::FocusPolicy own = focusPolicy();
    setFocusPolicy(Qt::TabFocus);
    setTabOrder(lastOfPicture, this);
    setFocusPolicy(own);
}

UpgradeDlg& Korvalen49_Test::upgradeDialog() {
    if (upgradeDlg == nullptr) {
        upgradeDlg = new UpgradeDlg(nullptr);
        // The connection gives the ports to a run unless a search or a download holds them; a
        // search holds them until the window has taken its result, so no run can start in
        // between.
        upgradeDlg->setPortsBusyCheck([this]() -> QString {
            switch (connection.portsHolder()) {
            case ControllerConnection::Holder::Search:
                return tr("The editor is searching for the controller on the MIDI ports. Press "
                          "Start again when the search has ended.");
            case ControllerConnection::Holder::Upload: // the upgrade takes its ports
                break;
            case ControllerConnection::Holder::Transfer:
                return tr("The editor is downloading a preset to the controller. Press Start "
                          "again when the download has ended.");
            case ControllerConnection::Holder::None:
                break;
            }
            return QString();
        });
    }
    return *upgradeDlg;
}

QDialog& Korvalen49_Test::uploadDialog() {
    uploadForm();
    return uploadDlg;
}

Ui::UploadDlg& Korvalen49_Test::uploadForm() {
    if (!uploadFormMade) {
        uploadFormMade = true;
        uploadUi.setupUi(&uploadDlg);
        textfit::fitTexts(&uploadDlg);
        a11y::describeWindow(&uploadDlg);
        for (const char* name : korvalen::presetNames)
            uploadUi.presetSelBox->addItem(QString::fromLatin1(name));
        connect(uploadUi.buttonBox, &QDialogButtonBox::accepted, this,
                &Korvalen49_Test::uploadAccept);
    }
    return uploadUi;
}

void Korvalen49_Test::buildAllPages() {
    laterPages->buildAll();
}

Korvalen49_Test::~Korvalen49_Test() {
    // The model outlives the window: its edits go nowhere from now on.
    korvalen::setUserEditHook({});
    // A search or a download still going is stopped and waited for: they use the link, and
    // their threads hand their results to this window.
    connection.shutDown();
    downloads.stopNow();
    // A firmware run still going is stopped first, and ends as stopped; the program must not
    // end under it.
    connectThread.requestStop();
    connectThread.wait();
    // The link's input handler stops emitting to this window.
    midiLink.delivery = midiMethodClass::Delivery::Nowhere;
    delete upgradeDlg;
}

void Korvalen49_Test::closeEvent(QCloseEvent* event) {
    // A search still running is stopped: nothing it would bring in is lost by closing.
    if (connection.isSearching()) connection.stopSearch();
    // A running firmware upgrade first, then the edits.
    if (connectThread.isRunning() && !upgradeMayClose) {
        event->ignore();
        // The run is stopping when the answer is Yes: the window closes once, past this check.
        upgradeDialog().askToStopRun([this] {
            QTimer::singleShot(0, this, [this] {
                upgradeMayClose = true;
                close();
                upgradeMayClose = false;
            });
        });
        return;
    }
    // A download is not cut off: the window closes once it has ended, after telling what
    // the controller holds then.
    if (downloads.isDownloading()) {
        event->ignore();
        askToCloseAfterDownload();
        return;
    }
    if (history && history->modified() && !editsMayClose) {
        event->ignore();
        askToCloseWithEdits();
        return;
    }
    editsMayClose = false;
    if (upgradeDlg) upgradeDlg->hide();
    QMainWindow::closeEvent(event);
}

void Korvalen49_Test::askToCloseAfterDownload() {
    if (closeQuestion) {
        closeQuestion->raise();
        return;
    }
    const int shown = downloads.presetNumber() + 1;
    closeQuestion = new QMessageBox(QMessageBox::Question, tr("Close"),
                                    tr("P%1 is being downloaded to the controller. Stopping now "
                                       "could leave it incomplete there. Close the editor when "
                                       "the download has ended?")
                                        .arg(shown),
                                    QMessageBox::Cancel, this);
    closeQuestion->setObjectName(QStringLiteral("closeDuringDownload"));
    QPushButton* later =
        closeQuestion->addButton(tr("Close when the download has ended"), QMessageBox::AcceptRole);
    later->setObjectName(QStringLiteral("closeAfterDownload"));
    closeQuestion->setDefaultButton(later);
    closeQuestion->setAttribute(Qt::WA_DeleteOnClose);
    connect(closeQuestion, &QMessageBox::buttonClicked, this, [this, later](QAbstractButton* b) {
        closeQuestion = nullptr;
        if (b != later) return;
        if (!downloads.isRunning()) {
            // It ended while the question was open; its result is on the status bar.
            close();
            return;
        }
        downloads.tellEndTo([this](const QString& outcome) { closeAfterDownload(outcome); });
        statusBar()->showMessage(tr("The editor closes when the download has ended."),
                                 kResultTimeoutMs);
    });
    closeQuestion->open();
}

void Korvalen49_Test::closeAfterDownload(const QString& outcome) {
    // Told in a box that does not wait: the window closes when it is answered.
    auto* box =
        new QMessageBox(QMessageBox::Information, tr("Close"), outcome, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("downloadEndedBeforeClose"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this,
            [this] { QTimer::singleShot(0, this, &QWidget::close); });
    box->open();
}

void Korvalen49_Test::askToCloseWithEdits() {
    if (auto* open = findChild<QMessageBox*>(QStringLiteral("closeWithEdits"))) {
        open->raise();
        return;
    }
    auto* box =
        new QMessageBox(QMessageBox::Warning, tr("Close"),
                        tr("The preset has edits that were neither downloaded to the "
                           "controller nor saved to a file. Closing the editor loses "
                           "them."),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("closeWithEdits"));
    box->setDefaultButton(QMessageBox::Cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box] {
        auto closeNow = [this] {
            editsMayClose = true;
            QTimer::singleShot(0, this, [this] {
                close();
                editsMayClose = false;
            });
        };
        if (box->clickedButton() == box->button(QMessageBox::Discard)) {
            closeNow();
        } else if (box->clickedButton() == box->button(QMessageBox::Save)) {
            files.saveWithDialog([closeNow](bool saved) {
                if (saved) closeNow();
            });
        }
    });
    box->open();
}

void Korvalen49_Test::mayReplaceEdits(const QString& command, const QString& replacement,
                                      std::function<void()> then, std::function<void()> kept) {
    if (!history || !history->modified()) {
        if (then) then();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, command,
                                tr("The preset has edits that were neither downloaded to the "
                                   "controller nor saved to a file. %1 replaces them.")
                                    .arg(replacement),
                                QMessageBox::Discard | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("replaceEditsQuestion"));
    box->button(QMessageBox::Discard)->setText(tr("Discard edits"));
    box->button(QMessageBox::Cancel)->setText(tr("Keep edits"));
    box->setDefaultButton(QMessageBox::Cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this,
            [box, then = std::move(then), kept = std::move(kept)] {
                const bool discard = box->clickedButton() == box->button(QMessageBox::Discard);
                if (discard && then) then();
                if (!discard && kept) kept();
            });
    box->open();
}

void Korvalen49_Test::undoSlot() {
    stepThroughEdits(false);
}

void Korvalen49_Test::redoSlot() {
    stepThroughEdits(true);
}

void Korvalen49_Test::stepThroughEdits(bool forward) {
    QUndoStack& stack = history->stack();
    if (!(forward ? stack.canRedo() : stack.canUndo()) || editsLocked()) return;
    const QString step = forward ? stack.redoText() : stack.undoText();
    if (forward)
        stack.redo();
    else
        stack.undo();
    statusBar()->showMessage((forward ? tr("Redone: %1") : tr("Undone: %1")).arg(step),
                             kResultTimeoutMs);
}

void Korvalen49_Test::showRestoredPlace(const QString&, const PresetSnapshot& from,
                                        const PresetSnapshot& to) {
    if (const auto place = EditHistory::changedPlace(from, to))
        showPlace(*place);
    else
        clearChangeMarks();
}

void Korvalen49_Test::clearChangeMarks() {
    for (const QPointer<QWidget>& mark : std::as_const(changeMarks))
        delete mark.data();
    changeMarks.clear();
}

void Korvalen49_Test::showPlace(const EditHistory::Place& place) {
    clearChangeMarks();
    customTab* const tabs = ui.tabWidget;
    using Group = EditHistory::Place::Group;
    switch (place.group) {
    case Group::Encoder:
        tabs->ChangePage_En();
        SelActiveBank_En(place.bank);
        break;
    case Group::Function:
        tabs->ChangePage_Fn();
        SelActiveBank_En(place.bank);
        break;
    case Group::Pad:
        tabs->ChangePage_Pn();
        SelActiveBank_Pn(place.bank);
        break;
    case Group::Transport:
        tabs->ChangePage_Zoudai();
        break;
    case Group::Slider:
        tabs->ChangePage_S1();
        break;
    case Group::Zone:
        tabs->ChangePage_Zn();
        break;
    }
    for (const QString& name : place.boxes) {
        auto* box = tabs->currentWidget()->findChild<QComboBox*>(name);
        if (box == nullptr) continue;
        auto* mark = new ChangeMark(box);
        changeMarks.append(mark);
        QTimer::singleShot(kChangeMarkMs, mark, &QObject::deleteLater);
    }
}

bool Korvalen49_Test::editsLocked() {
    if (!isUploadPending()) return busySearching();
    statusBar()->showMessage(tr("An upload is under way. Undo and redo work again when it has "
                                "ended."),
                             kResultTimeoutMs);
    return true;
}

void Korvalen49_Test::InitEditor() {
    // Bank selectors and the upload dialog's preset list.
    for (const char* bank : {"BANK 1", "BANK 2", "BANK 3", "BANK 4"})
        ui.BankBox->addItem(QString::fromLatin1(bank));
    ui.PadBankBox->addItem(QStringLiteral("A"));
    ui.PadBankBox->addItem(QStringLiteral("B"));

    connect(ui.BankBox, &QComboBox::currentIndexChanged, this, &Korvalen49_Test::SelActiveBank_En);
    connect(ui.PadBankBox, &QComboBox::currentIndexChanged, this,
            &Korvalen49_Test::SelActiveBank_Pn);

    // Every bank copy of every control is bound to the panels of its group; the active bank
    // is selected before each group is bound. The other pages are bound when they are built.
    SelActiveBank_En(0);
    bindEncoderBanks(this);
    SelActiveBank_Pn(0);
    setUpZones(this);
    laterPages = std::make_unique<LaterPages>(ui.tabWidget);
    connect(ui.tabWidget, &QTabWidget::currentChanged, this,
            [this](int index) { laterPages->build(index); });

    // Page navigation: each group of the picture, and the layer button behind it, shows the
    // group's page.
    customTab* const tabs = ui.tabWidget;
    connect(ui.BtnLayer_En, &QPushButton::clicked, tabs, &customTab::ChangePage_En);
    for (QDial* dial : {ui.E1, ui.E2, ui.E3, ui.E4, ui.E5, ui.E6, ui.E7, ui.E8})
        connect(dial, &QDial::sliderPressed, tabs, &customTab::ChangePage_En);
    connect(ui.btnLayer_Fn, &QPushButton::clicked, tabs, &customTab::ChangePage_Fn);
    for (QPushButton* button : {ui.Btn_F1, ui.Btn_F2, ui.Btn_F3, ui.Btn_F4})
        connect(button, &QPushButton::clicked, tabs, &customTab::ChangePage_Fn);
    connect(ui.BtnLayer_Pn, &QPushButton::clicked, tabs, &customTab::ChangePage_Pn);
    for (QPushButton* pad : {ui.P1, ui.P2, ui.P3, ui.P4})
        connect(pad, &QPushButton::clicked, tabs, &customTab::ChangePage_Pn);
    connect(ui.btnLayer_Zoudai, &QPushButton::clicked, tabs, &customTab::ChangePage_Zoudai);
    for (QPushButton* button : {ui.Btn_Rew, ui.Btn_FF, ui.Btn_Play, ui.Btn_Stop, ui.Btn_Rec})
        connect(button, &QPushButton::clicked, tabs, &customTab::ChangePage_Zoudai);
    connect(ui.btnLayer_S1, &QPushButton::clicked, tabs, &customTab::ChangePage_S1);
    connect(ui.Slider_S1, &QSlider::sliderPressed, tabs, &customTab::ChangePage_S1);
    connect(ui.Slider_S1, &QSlider::sliderMoved, tabs, &customTab::ChangePage_S1);
    connect(ui.BtnLayer_Zn, &QPushButton::clicked, tabs, &customTab::ChangePage_Zn);
    for (QPushButton* button : {ui.btnZ1, ui.btnZ2, ui.btnZ3})
        connect(button, &QPushButton::clicked, tabs, &customTab::ChangePage_Zn);

    tabs->SetLayerButtons(ui.btnLayer_S1, ui.BtnLayer_En, ui.btnLayer_Fn, ui.BtnLayer_Pn,
                          ui.btnLayer_Zoudai, ui.BtnLayer_Zn);
    tabs->ChangePage_En();
}

unsigned char Korvalen49_Test::currentPresetNumber() {
    return korvalen::presetGlobals[korvalen::global::kPresetNumber];
}

QString Korvalen49_Test::titleForPreset(unsigned char presetNumber) {
    const char* name = korvalen::presetNameFor(presetNumber);
    // The preset's number and name are the device's own.
    const QString preset = name == nullptr ? QString::asprintf("P%02d", presetNumber + 1)
                                           : QString::asprintf("P%02d %s", presetNumber + 1, name);
    return tr("Korvalen25 Editor--------%1").arg(preset);
}

void Korvalen49_Test::RefreshTitle() {
    setWindowTitle(titleForPreset(currentPresetNumber()));
}

void Korvalen49_Test::SelActiveBank_En(int bank) {
    selectEncoderBank(bank);
    ui.BankBox->setCurrentIndex(bank);
}

void Korvalen49_Test::SelActiveBank_Pn(int bank) {
    selectPadBank(bank);
    ui.PadBankBox->setCurrentIndex(bank);
}

void Korvalen49_Test::connectCommands() {
    connect(ui.actionDownLoad, &QAction::triggered, this, &Korvalen49_Test::DownLoadSlot);
    connect(ui.actionUpload, &QAction::triggered, this, &Korvalen49_Test::uploadSlot);
    connect(ui.actionUpgrade, &QAction::triggered, this,
            [this] { upgradeDialog().UpgradeWinShow(); });
    connect(ui.actionLoad_from_file, &QAction::triggered, &files,
            &PresetFileCommands::loadWithDialog);
    connect(ui.actionSave_to_file, &QAction::triggered, &files, [this] { files.saveWithDialog(); });
    // A file loaded by any way wins over a dump still on its way (the upload of preset 0 at
    // start-up, say).
    connect(&files, &PresetFileCommands::aboutToLoad, this,
            [this] { uploads.abandon(tr("Upload stopped: a preset file is loaded instead.")); });
    ui.actionSave_to_file->setShortcuts(QKeySequence::Save);
    ui.actionLoad_from_file->setShortcuts(QKeySequence::Open);
    // The preset as a ".syx" file, both ways, last in "File".
    QAction* exportSyx = ui.menuFile->addAction(tr("&Export .syx..."), &files,
                                                &PresetFileCommands::exportWithDialog);
    exportSyx->setObjectName(QStringLiteral("actionExport"));
    QAction* importSyx = ui.menuFile->addAction(tr("&Import .syx..."), &files,
                                                &PresetFileCommands::importWithDialog);
    importSyx->setObjectName(QStringLiteral("actionImport"));
    // Reconnecting and the list of MIDI ports are offered as menu commands, last in "Menu".
    ui.menuMenu->addAction(ui.actionReConnect);
    connect(ui.actionReConnect, &QAction::triggered, this, &Korvalen49_Test::reconnectSlot);
    ui.menuMenu->addAction(actionMidiPorts);
    connect(actionMidiPorts, &QAction::triggered, this, &Korvalen49_Test::portsSlot);
}

void Korvalen49_Test::ComSaveFile() {
    files.saveWithDialog();
}

void Korvalen49_Test::ComLoadFile() {
    files.loadWithDialog();
}

void Korvalen49_Test::dragEnterEvent(QDragEnterEvent* event) {
    if (!PresetFileCommands::droppedPresetFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Korvalen49_Test::dropEvent(QDropEvent* event) {
    const QString path = PresetFileCommands::droppedPresetFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // The boxes of the load come after the drop has ended, not inside it.
    QTimer::singleShot(0, this, [this, path] { files.openPresetFile(path); });
}

void Korvalen49_Test::showStatus(const QString& text, int timeoutMs) {
    statusBar()->showMessage(text, timeoutMs);
}

// --- The transfer commands' entry points and how the window tells ---------------------------

void Korvalen49_Test::showFailure(const QString& command, const QString& text) {
    statusBar()->showMessage(text, kResultTimeoutMs);
    if (!command.isEmpty()) tellInBox(QStringLiteral("failureBox"), command, text, true);
}

void Korvalen49_Test::tellInBox(const QString& objectName, const QString& title,
                                const QString& text, bool warning) {
    auto* box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information, title,
                                text, QMessageBox::Ok, this);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void Korvalen49_Test::DataInSlot(uint) {}

void Korvalen49_Test::SysInSlot(uint) {}

void Korvalen49_Test::DownLoadSlot() {
    downloads.askToDownload([this] { download(); });
}

void Korvalen49_Test::uploadSlot() {
    QDialog& dialog = uploadDialog();
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

void Korvalen49_Test::uploadAccept() {
    const int index = uploadForm().presetSelBox->currentIndex();
    if (index < 0) return;
    // Asked only when the request can go out: one that cannot replaces nothing.
    const bool canGoOut = connection.state() == ControllerConnection::State::Connected;
    const int presetNumber = index == 0 ? 0 : index + 15;
    auto go = [this, presetNumber] { requestUpload(presetNumber, tr("Upload")); };
    if (!canGoOut) {
        go();
        return;
    }
    mayReplaceEdits(tr("Upload"),
                    tr("Uploading \"%1\"").arg(uploadForm().presetSelBox->currentText()), go);
}

void Korvalen49_Test::SysDataInSlot(unsigned char*, uint len) {
    // A download reads the ring on its own thread: it is the ring's one reader then.
    if (downloads.isRunning()) return;
    uploads.sysExArrived(len);
}

LibraryWindow& libraryWindow(Korvalen49_Test& window) {
    return window.library().libraryWindow();
}

CompareWindow& compareWindow(Korvalen49_Test& window) {
    return window.library().compareWindow();
}

bool compareWithController(Korvalen49_Test& window) {
    return window.library().compareWithController();
}

bool compareWithFile(Korvalen49_Test& window, const QString& path) {
    return window.library().compareWithFile(path);
}
