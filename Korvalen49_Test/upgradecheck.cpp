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

bool mayStart(QWidget* dialog, QString* refusal) {
    const QString port = bridgedControllerPort();
    if (port.isEmpty()) return true;
    const auto answer = QMessageBox::warning(
        dialog->isVisible() ? dialog : nullptr, dialog->windowTitle(),
        QObject::tr("%1 is a port of an ALSA-to-JACK bridge, which drops every MIDI message "
                    "over %2 bytes: the firmware blocks would not reach the controller.\n\n"
                    "Start the editor with --midi-api alsa to flash it. Start anyway?")
            .arg(port)
            .arg(korvalen::midi::kBridgeMaxMessageBytes),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes) return true;
    *refusal = QObject::tr("Not started: the controller is behind an ALSA-to-JACK bridge.");
    return false;
}

} // namespace upgradecheck
