#include "upgrade.h"

#include "midi.h"
#include "upgradecheck.h"

#include <QFile>
#include <QFileDialog>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

using korvalen::midi::InputEvent;
using korvalen::midi::platform;

ConnectThread connectThread;
korvalen::FirmwareImage firmwareImage;

namespace {

// Texts handed to the dialog through a queued signal must outlive the delivery. The device
// version text is made on the MIDI input thread, so each distinct version gets one string
// that lives as long as the program (a few ten thousand at the most).
const char* versionTextFor(std::uint32_t version) {
    static std::mutex mutex;
    static std::map<std::uint32_t, std::string> texts;
    std::lock_guard<std::mutex> lock(mutex);
    auto [it, inserted] = texts.try_emplace(version);
    if (inserted) it->second = korvalen::deviceVersionText(version);
    return it->second.c_str();
}

} // namespace

void ConnectThread::report(uint comp, uint val, const char* str) {
    emit updataUISignal(comp, val, const_cast<char*>(str));
}

void ConnectThread::setDeviceAnswer(std::int32_t answer) {
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        midiLink.deviceAnswer = answer;
    }
    answerChanged_.notify_all();
}

bool ConnectThread::waitForRequest() {
    std::unique_lock<std::mutex> lock(answerMutex_);
    return answerChanged_.wait_for(
               lock, std::chrono::milliseconds(requestTimeoutMs_.load()),
               [this] { return midiLink.deviceAnswer != 0 || stopRequested_; }) &&
           !stopRequested_;
}

void ConnectThread::requestStop() {
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        stopRequested_ = true;
    }
    answerChanged_.notify_all();
}

void ConnectThread::startRun() {
    if (isRunning()) return;
    stopRequested_ = false;
    start(QThread::InheritPriority);
}

void ConnectThread::run() {
    report(StartEnabled, 0, "0");
    // The run takes every port from the editor, which reconnects only when asked to.
    midiLink.editorOwnsPorts = false;
    midiLink.resetPortTable();
    log("Finding MIDI device in upgrade mode...");

    int result = 1;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        result = probeDevices();
        if (result == 0 || result < 0 || stopRequested_) break;
        if (attempt < kAttempts) platform().sleep(kPauseMs);
    }
    if (result == 0) {
        log("Success to find midi in out device in upgrade mode!");
        midiLink.linkState = 1;
        flashFirmware();
        return;
    }
    if (result > 0) log("ERROR: Can not find device in upgrade mode");
    midiLink.closeInputs();
    report(StartEnabled, 1, "0");
}

int ConnectThread::probeDevices() {
    midiLink.closeInputs();
    midiLink.closeOutput();

    auto& midi = platform();
    for (int reading = 0; reading < kCountReadings; ++reading) {
        midiLink.inPortCount = midi.inputCount();
        midiLink.outPortCount = midi.outputCount();
        if (midiLink.inPortCount > 0 && midiLink.outPortCount > 0) break;
        midi.sleep(kPauseMs);
    }
    if (midiLink.inPortCount == 0) {
        log("Can not found any MIDI devices.");
        log("Reconnect,and try again.");
        return -1;
    }
    if (midiLink.inPortCount > midiMethodClass::kMaxPorts ||
        midiLink.outPortCount > midiMethodClass::kMaxPorts) {
        log("Too many MIDI devices, please remove some others");
        return -1;
    }

    for (unsigned k = 0; k < midiLink.inPortCount; ++k) {
        const bool opened =
            midiLink.openInputSlot(k, [this](std::uintptr_t instance, const InputEvent& event) {
                upgradeMidiInProc(instance, event);
            });
        if (!opened) log("Open MIDI In error");
    }

    const auto probe = korvalen::firmwareProbeMessage(firmwareImage.deviceId);
    for (unsigned k = 0; k < midiLink.outPortCount; ++k) {
        midiLink.outPort = midi.openOutput(k);
        if (!midiLink.outPort) {
            log("Open MIDI Out error");
            continue;
        }
        midi.sleep(kOpenPauseMs);
        if (midiLink.sendSysEx(probe.data(), probe.size()) != 0) {
            midiLink.closeOutput();
            continue;
        }
        midi.sleep(kReplyWaitMs);
        if (midiLink.normalInPort != 0 && (midiLink.portsNoted & 1) == 0) {
            midiLink.portsNoted |= 1;
            midiLink.closeOutput();
            midi.sleep(kPauseMs);
            break;
        }
        if (midiLink.replyInPort != 0 && (midiLink.portsNoted & 2) == 0) {
            midiLink.replyOutPort = static_cast<std::int32_t>(k + 1);
            midiLink.portsNoted |= 2;
            break;
        }
        midiLink.closeOutput();
    }
    // Found only with an output port to flash through: a reply noticed after the last probe
    // counts in the next attempt, which keeps the first port that takes its probe.
    if (midiLink.replyInPort != 0 && midiLink.replyOutPort != 0) return 0;
    if (midiLink.normalInPort != 0) return 2;
    return 1;
}

void ConnectThread::flashFirmware() {
    const auto start = korvalen::firmwareStartMessage(firmwareImage.blockCount);
    bool stalled = false;
    if (midiLink.replyInPort != 0 && midiLink.replyOutPort != 0) {
        midiLink.sendSysEx(start.data(), start.size());
        platform().sleep(kStartPauseMs);
        log("Flash writing");
        while (midiLink.linkState == 1) {
            if (!waitForRequest()) {
                stalled = true;
                break;
            }
            const std::int32_t answer = midiLink.deviceAnswer.exchange(0);
            if (answer == 10) {
                if (midiLink.blockIndex == firmwareImage.blockCount) midiLink.linkState = 2;
                sendBlock();
                report(Progress, midiLink.blockIndex, "0");
            } else if (answer == 20) {
                if (midiLink.blockIndex > 0) --midiLink.blockIndex;
                sendBlock();
            }
        }
    }
    report(Progress, midiLink.blockIndex, "0");
    report(StartEnabled, 1, "0");
    if (stalled)
        log("ERROR: The device stopped answering during the transfer. Restart it in upgrade "
            "mode and try again.");
    else
        log("The End!");
}

void ConnectThread::sendBlock() {
    const std::uint32_t k = midiLink.blockIndex;
    if (k >= firmwareImage.blockCount) {
        log("Update OK!");
        log("Please turn off the power and restart!");
        return;
    }
    const auto block = korvalen::firmwareDataBlock(firmwareImage, k);
    midiLink.sendSysEx(block.data(), static_cast<std::uint32_t>(block.length));
    ++midiLink.blockIndex;
}

void ConnectThread::upgradeMidiInProc(std::uintptr_t instance, const InputEvent& event) {
    const int port = static_cast<int>(instance);
    switch (event.kind) {
    case InputEvent::Kind::Close:
        break;
    case InputEvent::Kind::Short:
        if (midiLink.linkState != 1) break;
        if (event.shortMessage == 0x006190)
            setDeviceAnswer(20);
        else if (event.shortMessage == 0x545190)
            setDeviceAnswer(10);
        break;
    case InputEvent::Kind::LongData: {
        const std::uint32_t n = event.buffer ? event.recorded : 0;
        if (const auto reply = korvalen::parseProbeReply(event.buffer, n, firmwareImage.deviceId)) {
            deviceVersion = reply->version;
            if (reply->version != 100) report(DeviceVersion, 0, versionTextFor(reply->version));
            if (reply->mode == 2)
                midiLink.replyInPort = port + 1;
            else if (reply->mode == 1)
                midiLink.normalInPort = port + 1;
        }
        if (n != 0) midiLink.requeueBuffer(port);
        break;
    }
    }
}

UpgradeDlg::UpgradeDlg(QWidget* parent) : QDialog(parent) {
    ui.setupUi(this);
    connect(ui.upgradeLoad, &QPushButton::clicked, this, &UpgradeDlg::ComLoadFile);
    connect(ui.upgradeStart, &QPushButton::clicked, this, &UpgradeDlg::OnFirmwareUpgrade);
    connect(&connectThread, &ConnectThread::updataUISignal, this, &UpgradeDlg::updataUISlot);
    // The image must not change while it is being flashed: Load File is off during a run.
    connect(&connectThread, &QThread::finished, this, [this] { ui.upgradeLoad->setEnabled(true); });
}

void UpgradeDlg::UpgradeWinShow() {
    show();
}

void UpgradeDlg::ComLoadFile() {
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open to Load"), ".", tr("Bin Files(*.bin)"));
    loadImage(path);
}

void UpgradeDlg::loadImage(const QString& path) {
    if (connectThread.isRunning()) return;
    QByteArray bytes;
    if (!path.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    }
    auto loaded =
        korvalen::loadFirmwareImage(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()));
    // Also refused: an image whose block count does not fit the start message.
    if (loaded.status != korvalen::FirmwareLoadStatus::Loaded) {
        ui.upgradeLog->addItem(QStringLiteral("Open Error!"));
        return;
    }
    korvalen::FirmwareImage& image = loaded.image;
    ui.fileVer->setText(
        QString::fromLatin1(korvalen::firmwareVersionText(image.versionChars).c_str()));
    ui.upgradeLog->addItem(QStringLiteral("File Loaded."));
    ui.upgradeStart->setEnabled(true);
    if (image.bodyLength == 0) ui.upgradeLog->addItem(QStringLiteral("Open Error!"));
    firmwareImage = std::move(image);
    midiLink.blockIndex = 0;
    ui.upgradeBar->setRange(0, static_cast<int>(firmwareImage.blockCount));
    ui.upgradeBar->setValue(0);
}

void UpgradeDlg::OnFirmwareUpgrade() {
    if (connectThread.isRunning()) return;
    if (QString refusal; !upgradecheck::mayStart(this, &refusal)) {
        ui.upgradeLog->addItem(refusal);
        return;
    }
    ui.upgradeLoad->setEnabled(false);
    connectThread.startRun();
}

void UpgradeDlg::updataUISlot(uint comp, uint val, char* str) {
    const QString text = QString::fromLatin1(str ? str : "");
    switch (comp) {
    case ConnectThread::DeviceVersion:
        ui.devVer->setText(text);
        break;
    case ConnectThread::FileVersion:
        ui.fileVer->setText(text);
        break;
    case ConnectThread::StartEnabled:
        ui.upgradeStart->setEnabled(val == 1);
        break;
    case ConnectThread::Progress:
        ui.upgradeBar->setValue(static_cast<int>(val));
        break;
    case ConnectThread::Log:
        ui.upgradeLog->addItem(text);
        break;
    default:
        break;
    }
}
