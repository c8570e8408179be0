// What the upgrade dialog looks at before it starts a run.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace upgradecheck {

// The output port that a run would most likely flash through and that sits behind an
// ALSA-to-JACK bridge: the editor's controller port when it is known, else a bridged port with
// "Korvalen" in its name, else any bridged port. Empty when there is none.
QString bridgedControllerPort();

// Calls `start` when a run may start: at once, or, for a controller behind an ALSA-to-JACK
// bridge, once the user goes on in a warning box that does not wait; else `refused` with why.
// Whether the editor's search or download holds the ports the dialog asks the window.
void askToStart(QWidget* dialog, std::function<void()> start,
                std::function<void(const QString&)> refused);

} // namespace upgradecheck
