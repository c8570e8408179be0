#include "upgrade.h"

#include "accessibility.h"
#include "choosecontroller.h"
#include "filefolders.h"
#include "textfit.h"
#include "upgradecheck.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <cmath>

namespace text = upgradetext;

namespace {

constexpr char kBarFormat[] = QT_TRANSLATE_NOOP("UpgradeDlg", "%v / %m blocks (%p%)");
// The time left is shown once the pace has been measured this long.
constexpr qint64 kPaceMs = 3000;

qint64 monotonicMs() {
    static QElapsedTimer timer;
    if (!timer.isValid()) timer.start();
    return timer.elapsed();
}

// Why the image loader refused a file of `bytes` with `status`, in a line after "Open Error!".
QString refusalReason(korvalen::FirmwareLoadStatus status, const QByteArray& bytes) {
    if (bytes.isEmpty()) return UpgradeDlg::tr("The file is empty.");
    if (status == korvalen::FirmwareLoadStatus::TooManyBlocks)
        return upgradetext::line(text::kFileTooLarge);
    if (static_cast<std::size_t>(bytes.size()) < korvalen::kFirmwareTrailerSize)
        return UpgradeDlg::tr(
                   "It is too short for a firmware image: %1 bytes, an image has at least %2.")
            .arg(bytes.size())
            .arg(korvalen::kFirmwareTrailerSize);
    return UpgradeDlg::tr("It does not end as a firmware image of this controller does, so it is "
                          "no Korvalen25 firmware. Choose the .bin file of the firmware.");
}

} // namespace

UpgradeDlg::UpgradeDlg(QWidget* parent) : QDialog(parent), clock_(monotonicMs) {
    ui.setupUi(this);
    textfit::fitTexts(this);
    a11y::describeWindow(this);
    // Long lines wrap; each line's tool tip holds it whole as well.
    ui.upgradeLog->setWordWrap(true);
    ui.upgradeLog->setTextElideMode(Qt::ElideNone);
    ui.upgradeLog->setResizeMode(QListView::Adjust);
    ui.upgradeLog->setAlternatingRowColors(true); // a wrapped line reads as one
    ui.upgradeBar->setFormat(tr(kBarFormat));

    connect(ui.upgradeLoad, &QPushButton::clicked, this, &UpgradeDlg::ComLoadFile);
    connect(ui.upgradeStart, &QPushButton::clicked, this, &UpgradeDlg::OnFirmwareUpgrade);
    connect(&connectThread, &ConnectThread::logged, this, &UpgradeDlg::addLogLine);
    connect(&connectThread, &ConnectThread::progressed, this,
            [this](uint done, uint) { showProgress(done); });
    connect(&connectThread, &ConnectThread::versionSeen, this, &UpgradeDlg::showVersion);
    connect(&connectThread, &ConnectThread::runningChanged, this, &UpgradeDlg::showRunning);
    // The image must not change while it is being flashed: Load File is off during a run.
    connect(&connectThread, &QThread::finished, this, [this] { ui.upgradeLoad->setEnabled(true); });
    // Several controllers in upgrade mode: which one to flash is asked.
    connect(&connectThread, &QThread::finished, this,
            [this] { choosecontroller::takeUpgradeEnd(this); });
}

void UpgradeDlg::UpgradeWinShow() {
    show();
    raise();
    activateWindow();
}

void UpgradeDlg::ComLoadFile() {
    // Opened without waiting; a cancelled dialog loads nothing, as an empty path. It starts
    // where the image was loaded from last, with its name, else in the downloads folder.
    const QString last = filefolders::lastFile(filefolders::Dialog::Firmware);
    auto* dialog = filefolders::makeDialog(this, filefolders::Dialog::Firmware, tr("Open to Load"),
                                           tr("Bin Files(*.bin)"),
                                           last.isEmpty() ? QString() : QFileInfo(last).fileName());
    dialog->setObjectName(QStringLiteral("upgradeOpenDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int result) {
        const QStringList chosen = dialog->selectedFiles();
        loadImage(result == QDialog::Accepted && !chosen.isEmpty() ? chosen.front() : QString());
    });
    dialog->open();
}

void UpgradeDlg::loadImage(const QString& path) {
    if (connectThread.isRunning()) return;
    QByteArray bytes;
    // Why the file is refused, in a line after "Open Error!"; none when no file was chosen.
    QString reason;
    if (!path.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            // No image is this large: refused before it is read.
            if (static_cast<std::uint64_t>(file.size()) > korvalen::kMaxFirmwareFileSize) {
                addLogLine(upgradetext::line(text::kOpenError));
                addLogLine(upgradetext::line(text::kFileTooLarge));
                return;
            }
            bytes = file.readAll();
        } else {
            reason = tr("The file could not be opened: %1.").arg(file.errorString());
        }
    }
    auto loaded =
        korvalen::loadFirmwareImage(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()));
    if (loaded.status != korvalen::FirmwareLoadStatus::Loaded) {
        addLogLine(upgradetext::line(text::kOpenError));
        if (reason.isEmpty() && !path.isEmpty()) reason = refusalReason(loaded.status, bytes);
        if (!reason.isEmpty()) addLogLine(reason);
        return;
    }
    korvalen::FirmwareImage& image = loaded.image;
    ui.fileVer->setText(
        QString::fromLatin1(korvalen::firmwareVersionText(image.versionChars).c_str()));
    addLogLine(upgradetext::line(text::kFileLoaded));
    const bool empty = image.blockCount == 0;
    // An image without blocks is taken (its version shows) but cannot be flashed.
    if (empty) {
        addLogLine(upgradetext::line(text::kOpenError));
        addLogLine(upgradetext::line(text::kEmptyImage));
    }
    ui.upgradeStart->setEnabled(!empty);
    firmwareImage = std::move(image);
    // A range of 0 to 0 would show a busy bar.
    ui.upgradeBar->setRange(0, empty ? 1 : static_cast<int>(firmwareImage.blockCount));
    ui.upgradeBar->setValue(0);
    ui.upgradeBar->setTextVisible(!empty);
    ui.upgradeBar->setFormat(tr(kBarFormat));
}

void UpgradeDlg::OnFirmwareUpgrade() {
    startOn(QString());
}

void UpgradeDlg::startOn(const QString& port) {
    if (connectThread.isRunning()) return;
    auto portsBusy = [this] {
        const QString busy = portsBusy_ ? portsBusy_() : QString();
        if (!busy.isEmpty()) addLogLine(busy);
        return !busy.isEmpty();
    };
    if (portsBusy()) return;
    upgradecheck::askToStart(
        this,
        [this, port, portsBusy] {
            // The run asks the editor's connection for the ports itself; they may have been
            // taken, or a run started, while the question above was open.
            if (connectThread.isRunning() || portsBusy()) return;
            if (!connectThread.startRun(firmwareImage, port.toStdString())) {
                portsBusy();
                return;
            }
            ui.upgradeLoad->setEnabled(false);
        },
        [this](const QString& refusal) { addLogLine(refusal); });
}

void UpgradeDlg::askToStopRun(std::function<void()> then) {
    if (!connectThread.isRunning()) {
        if (then) then();
        return;
    }
    // One question at a time: a second close waits for the same answer.
    if (then) afterStop_.push_back(std::move(then));
    if (stopQuestion_) {
        stopQuestion_->activateWindow();
        return;
    }
    stopQuestion_ = new QMessageBox(
        QMessageBox::Question, windowTitle(),
        tr("A firmware upgrade is running. Stop it?\n\nA stopped upgrade leaves the controller "
           "without complete firmware: restart it in upgrade mode and start the upgrade again."),
        QMessageBox::Yes | QMessageBox::No, isVisible() ? this : parentWidget());
    stopQuestion_->setObjectName(QStringLiteral("upgradeStopQuestion"));
    stopQuestion_->setDefaultButton(QMessageBox::No);
    stopQuestion_->setAttribute(Qt::WA_DeleteOnClose);
    QMessageBox* box = stopQuestion_;
    connect(box, &QMessageBox::finished, this, [this, box] {
        const bool stop = box->clickedButton() == box->button(QMessageBox::Yes);
        auto waiting = std::exchange(afterStop_, {});
        if (!stop) return;
        // The run ends at once and logs the stop; Start comes back on with its last report.
        connectThread.requestStop();
        for (const auto& next : waiting)
            next();
    });
    stopQuestion_->open();
}

// Closing the window and Escape both end here (QDialog::closeEvent calls reject()); the
// dialog stays open while a run that the user keeps goes on.
void UpgradeDlg::reject() {
    askToStopRun([this] { QDialog::reject(); });
}

void UpgradeDlg::addLogLine(const QString& line) {
    auto* item = new QListWidgetItem(line, ui.upgradeLog);
    item->setToolTip(line);
    ui.upgradeLog->scrollToBottom();
}

QString UpgradeDlg::timeLeftText(std::uint32_t done, std::uint32_t total, std::uint32_t doneAtStart,
                                 qint64 elapsedMs) {
    if (elapsedMs < kPaceMs || done <= doneAtStart || done >= total) return {};
    const double msPerBlock = double(elapsedMs) / double(done - doneAtStart);
    const auto seconds = static_cast<qint64>(std::ceil(msPerBlock * double(total - done) / 1000.0));
    if (seconds < 60) return tr("about %1 s left").arg(seconds);
    return tr("about %1 min %2 s left")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void UpgradeDlg::showProgress(std::uint32_t done) {
    ui.upgradeBar->setValue(static_cast<int>(done));
    const qint64 now = clock_();
    if (!paceStarted_) {
        paceStarted_ = true;
        paceBlocks_ = done;
        paceStartMs_ = now;
    }
    const QString left = timeLeftText(done, static_cast<std::uint32_t>(ui.upgradeBar->maximum()),
                                      paceBlocks_, now - paceStartMs_);
    ui.upgradeBar->setFormat(left.isEmpty() ? tr(kBarFormat)
                                            : tr("%v / %m blocks (%p%), %1").arg(left));
}

void UpgradeDlg::updataUISlot(uint comp, uint val, char* str) {
    // The worker's texts are ASCII but for port names, which it passes as UTF-8.
    const QString text = QString::fromUtf8(str ? str : "");
    switch (comp) {
    case ConnectThread::DeviceVersion:
        showVersion(text);
        break;
    case ConnectThread::FileVersion:
        ui.fileVer->setText(text);
        break;
    case ConnectThread::StartEnabled:
        showRunning(val != 1); // only 1 turns Start on
        break;
    case ConnectThread::Progress:
        showProgress(val);
        break;
    case ConnectThread::Log:
        addLogLine(text);
        break;
    default:
        break;
    }
}

void UpgradeDlg::showVersion(const QString& version) {
    ui.devVer->setText(version);
}

void UpgradeDlg::showRunning(bool running) {
    ui.upgradeStart->setEnabled(!running);
    // A run starts or ends: the pace is measured afresh, and the bar of an ended run keeps its
    // count without a time left.
    paceStarted_ = false;
    ui.upgradeBar->setFormat(tr(kBarFormat));
}
