#include "upgradecheck.h"

#include "devicesearch.h"
#include "midi.h"

#include <QMessageBox>
#include <QWidget>

#include <algorithm>

namespace upgradecheck {

using korvalen::midi::isBridgedPortName;
using korvalen::midi::isKorvalenPortName;

QString bridgedControllerPort() {
    const std::string controller = midiLink.controllerOutputName();
    if (!controller.empty())
        return isBridgedPortName(controller) ? QString::fromStdString(controller) : QString();
    const auto names = korvalen::midi::platform().outputNames();
    auto bridged = [&](bool korvalenOnly) {
        const auto it = std::find_if(names.begin(), names.end(), [&](const std::string& n) {
            return isBridgedPortName(n) && (!korvalenOnly || isKorvalenPortName(n));
        });
        return it == names.end() ? QString() : QString::fromStdString(*it);
    };
    const QString named = bridged(true);
    return named.isEmpty() ? bridged(false) : named;
}

void askToStart(QWidget* dialog, std::function<void()> start,
                std::function<void(const QString&)> refused) {
    const QString port = bridgedControllerPort();
    if (port.isEmpty()) {
        start();
        return;
    }
    auto* box = new QMessageBox(
        QMessageBox::Warning, dialog->windowTitle(),
        QObject::tr("%1 is a port of an ALSA-to-JACK bridge, which drops every MIDI message "
                    "over %2 bytes: the firmware blocks would not reach the controller.\n\n"
                    "Start the editor with --midi-api alsa to flash it. Start anyway?")
            .arg(port)
            .arg(korvalen::midi::kBridgeMaxMessageBytes),
        QMessageBox::Yes | QMessageBox::No, dialog);
    box->setObjectName(QStringLiteral("upgradeBridgeQuestion"));
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, dialog,
                     [box, start = std::move(start), refused = std::move(refused)] {
                         if (box->clickedButton() == box->button(QMessageBox::Yes))
                             start();
                         else
                             refused(QObject::tr("Not started: the controller is behind an "
                                                 "ALSA-to-JACK bridge."));
                     });
    box->open();
}

} // namespace upgradecheck
