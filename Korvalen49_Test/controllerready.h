// The check every exchange with the controller makes before it begins, and the texts of a
// controller that is not there.
#pragma once

#include <QString>

class CommandHost;
class ControllerConnection;

namespace transfercheck {

// "ACTION failed: the controller is not connected. ..."
QString notConnectedText(const QString& action);
// "ACTION failed: the controller is gone (its MIDI ports have vanished). ..."
QString lostText(const QString& action);

// True when the controller is connected, its ports are still there and no search or download
// holds them; otherwise the failure of `action` is shown under `command` and false returned.
bool controllerReady(CommandHost& host, ControllerConnection& connection, const QString& command,
                     const QString& action);

} // namespace transfercheck
