#include "controllerready.h"

#include "commandhost.h"
#include "controllerconnection.h"

#include <QObject>

namespace transfercheck {

QString notConnectedText(const QString& action) {
    return QObject::tr("%1 failed: the controller is not connected. Connect it and choose "
                       "Menu > ReConnect.")
        .arg(action);
}

QString lostText(const QString& action) {
    return QObject::tr("%1 failed: the controller is gone (its MIDI ports have vanished). "
                       "Plug it in and choose Menu > ReConnect.")
        .arg(action);
}

bool controllerReady(CommandHost& host, ControllerConnection& connection, const QString& command,
                     const QString& action) {
    QString failure;
    const auto state = connection.state();
    if (state == ControllerConnection::State::Searching) {
        failure = QObject::tr("%1 failed: the editor is searching for the controller. Try again "
                              "when the search has ended.")
                      .arg(action);
    } else if (connection.transferring()) {
        // A download (or a read of a stored preset) holds the ports until it has ended.
        failure = QObject::tr("%1 failed: a download to the controller is still under way. Try "
                              "again when it has ended.")
                      .arg(action);
    } else if (state == ControllerConnection::State::Lost || !connection.controllerPresent()) {
        // controllerPresent() marks a controller whose ports have vanished as lost.
        failure = connection.state() == ControllerConnection::State::Lost
                      ? lostText(action)
                      : notConnectedText(action);
    }
    if (failure.isEmpty()) return true;
    host.showFailure(command, failure);
    return false;
}

} // namespace transfercheck
