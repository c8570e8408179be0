// The window's link and transfer commands: the connection at start-up, the download of the
// whole preset, the upload request and the dump that answers it.
#include "korvalen49_test.h"

#include "midi.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "upgrade.h"

#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>

namespace {

constexpr int kResultTimeoutMs = 20000;
constexpr int kBadRecordTimeoutMs = 5000;

korvalen::AssignmentValues valuesOf(const item& control) {
    return {control.GetType(), control.GetCC(), control.GetChan(), control.GetPort(),
            control.GetMode()};
}

item& itemFor(korvalen::ControlRef ref) {
    using korvalen::ControlGroup;
    switch (ref.group) {
    case ControlGroup::Encoder:
        return item_En[ref.bank][ref.index];
    case ControlGroup::Function:
        return item_Fn[ref.bank][ref.index];
    case ControlGroup::Transport:
        return item_Zoudai[ref.index];
    case ControlGroup::Pad:
        return item_Pn[ref.bank][ref.index];
    case ControlGroup::Slider:
        break;
    }
    return item_S1;
}

// Hands the values of a dump to the model's bounded setters.
class ModelDumpSink final : public korvalen::DumpSink {
public:
    explicit ModelDumpSink(Korvalen49_Test& window) : window_(window) {}

    void assignment(korvalen::ControlRef control, korvalen::AssignmentField field,
                    std::uint8_t value) override {
        item& target = itemFor(control);
        switch (field) {
        case korvalen::AssignmentField::Type:
            target.SetType(value);
            break;
        case korvalen::AssignmentField::CC:
            target.SetCC(value);
            break;
        case korvalen::AssignmentField::Chan:
            target.SetChan(value);
            break;
        case korvalen::AssignmentField::Port:
            target.SetPort(value);
            break;
        case korvalen::AssignmentField::Mode:
            target.SetMode(value);
            break;
        }
    }

    void uploadError() override {
        window_.statusBar()->showMessage(QStringLiteral("upload Error"), kBadRecordTimeoutMs);
    }

    void endOfDump() override { window_.finishUpload(); }

private:
    Korvalen49_Test& window_;
};

} // namespace

korvalen::PresetValues currentPresetValues() {
    korvalen::PresetValues values;
    values.slider = valuesOf(item_S1);
    for (int b = 0; b < 4; ++b) {
        for (int k = 0; k < 8; ++k)
            values.encoders[8 * b + k] = valuesOf(item_En[b][k]);
        for (int k = 0; k < 4; ++k)
            values.functions[4 * b + k] = valuesOf(item_Fn[b][k]);
    }
    for (int k = 0; k < 5; ++k)
        values.transport[k] = valuesOf(item_Zoudai[k]);
    for (int b = 0; b < 2; ++b)
        for (int k = 0; k < 4; ++k)
            values.pads[4 * b + k] = valuesOf(item_Pn[b][k]);
    for (int z = 0; z < 3; ++z) {
        const zone& source = zone_Zn[z];
        auto& target = values.zones[z];
        target.status = source.GetStatus();
        target.prog = source.GetProg();
        target.msb = source.GetMSB();
        target.lsb = source.GetLSB();
        target.chan = source.GetChan();
        target.port = source.GetPort();
        target.rangSta = source.GetRangSta();
        target.rangEnd = source.GetRangEnd();
        target.oct = source.GetOct();
        target.trans = source.GetTrans();
    }
    return values;
}

void Korvalen49_Test::StatusInit() {
    uploadPending = false;

    connect(&midiLink, &midiMethodClass::getMidiSysData, this, &Korvalen49_Test::SysDataInSlot);
    connect(&midiLink, &midiMethodClass::getSysData, this, &Korvalen49_Test::SysInSlot);
    midiLink.reConnect();
    if (reportConnected()) {
        connect(&midiLink, &midiMethodClass::getMidiData, this, &Korvalen49_Test::DataInSlot);
        // A second connection: every chunk starts two parser runs, and a run that finds the
        // ring empty does nothing.
        connect(&midiLink, &midiMethodClass::getMidiSysData, this, &Korvalen49_Test::SysDataInSlot);
        requestUpload(0);
    } else {
        QMessageBox::information(nullptr, QStringLiteral("Connection"),
                                 QStringLiteral("Connect Error!"));
        statusBar()->showMessage(QStringLiteral("Connect Error"), kResultTimeoutMs);
    }

    connectCommands();
}

bool Korvalen49_Test::reportConnected() {
    if (!midiLink.editorConnected()) return false;
    statusBar()->showMessage(QStringLiteral("Connect OK"), kResultTimeoutMs);
    return true;
}

void Korvalen49_Test::reconnectSlot() {
    if (connectThread.isRunning()) {
        QMessageBox::information(nullptr, QStringLiteral("Connection"),
                                 tr("A firmware upgrade is using the MIDI ports. Reconnect "
                                    "when it has ended."));
        return;
    }
    statusBar()->showMessage(tr("Searching for the Korvalen25..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    midiLink.reConnect();
    QApplication::restoreOverrideCursor();
    if (reportConnected()) {
        // Short messages reach the window only while connected; connect them once.
        connect(&midiLink, &midiMethodClass::getMidiData, this, &Korvalen49_Test::DataInSlot,
                Qt::UniqueConnection);
        requestUpload(0);
        return;
    }
    statusBar()->showMessage(QStringLiteral("Connect Error"), kResultTimeoutMs);
    QMessageBox::information(nullptr, QStringLiteral("Connection"),
                             QStringLiteral("Connect Error!"));
}

void Korvalen49_Test::DataInSlot(uint) {}

void Korvalen49_Test::SysInSlot(uint) {}

void Korvalen49_Test::DownLoadSlot() {
    const auto answer = QMessageBox::warning(nullptr, QStringLiteral("Warning"),
                                             QStringLiteral("Download to Korvalen,are you sure?"),
                                             QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) return;
    download();
}

bool Korvalen49_Test::download() {
    QString failure;
    if (!midiLink.editorConnected())
        failure = tr("Download to Korvalen failed: the controller is not connected. "
                     "Connect it and choose Menu > ReConnect.");

    bool sendFailed = false;
    if (failure.isEmpty()) {
        auto send = [&sendFailed](const std::uint8_t* data, std::size_t length) {
            // After one failed message the rest would fail too; above all the download end
            // message must not store a preset that arrived only in part.
            if (sendFailed) return;
            if (midiLink.sendSysEx(data, static_cast<std::uint32_t>(length)) != 0)
                sendFailed = true;
        };
        auto beforeEnd = [this, &sendFailed] {
            if (!sendFailed)
                statusBar()->showMessage(QStringLiteral("Download to Korvalen OK"),
                                         kResultTimeoutMs);
        };
        auto& globals = korvalen::presetGlobals;
        globals[korvalen::global::kZoneBits] = korvalen::sendDownload(
            currentPresetValues(), globals[korvalen::global::kPresetNumber], send, beforeEnd);
        if (sendFailed)
            failure = tr("Download to Korvalen failed: the controller did not take the preset. "
                         "Check the connection and try again.");
    }
    if (failure.isEmpty()) return true;
    statusBar()->showMessage(failure, kResultTimeoutMs);
    QMessageBox::warning(nullptr, tr("Download"), failure);
    return false;
}

void Korvalen49_Test::uploadSlot() {
    uploadDlg.show();
}

void Korvalen49_Test::uploadAccept() {
    const int index = uploadUi.presetSelBox->currentIndex();
    if (index < 0) return;
    if (!requestUpload(index == 0 ? 0 : index + 15))
        QMessageBox::warning(nullptr, tr("Upload"), statusBar()->currentMessage());
}

bool Korvalen49_Test::requestUpload(int presetNumber) {
    const auto request = korvalen::uploadRequestMessage(presetNumber);
    if (!midiLink.editorConnected() || midiLink.sendSysEx(request.data(), request.size()) != 0) {
        statusBar()->showMessage(tr("Upload failed: the controller is not connected. Connect it "
                                    "and choose Menu > ReConnect."),
                                 kResultTimeoutMs);
        return false;
    }
    uploadPending = true;
    return true;
}

void Korvalen49_Test::SysDataInSlot(unsigned char*, uint len) {
    auto& ring = midiLink.sysExRing;
    if (!uploadPending || len == 0) {
        korvalen::DumpParser::discardAll(ring);
        return;
    }
    ModelDumpSink sink(*this);
    korvalen::DumpParser parser(sink);
    parser.parse(ring);
}

void Korvalen49_Test::finishUpload() {
    const unsigned char* globals = korvalen::presetGlobals;
    for (int z = 0; z < 3; ++z) {
        const korvalen::ZoneValues values = korvalen::zoneFromGlobals(globals, z);
        zone& target = zone_Zn[z];
        target.SetProg(values.prog);
        target.SetMSB(values.msb);
        target.SetLSB(values.lsb);
        target.SetChan(values.chan);
        target.SetPort(values.port);
        target.SetRangSta(values.rangSta);
        target.SetRangEnd(values.rangEnd);
        target.SetOct(values.oct);
        target.SetTrans(values.trans);
    }
    for (int z = 0; z < 3; ++z)
        zone_Zn[z].SetStatus(korvalen::zoneFromGlobals(globals, z).status);
    statusBar()->showMessage(QStringLiteral("Upload OK!"), kResultTimeoutMs);
    RefreshTitle();
    uploadPending = false;
    midiLink.sysExRing.discardAll();
}
