// What the upgrade dialog looks at before it starts a run.
#pragma once

#include <QString>

class QWidget;

namespace upgradecheck {

// The output port that a run would most likely flash through and that sits behind an
// ALSA-to-JACK bridge: the editor's controller port when it is known, else a bridged port with
// "Korvalen" in its name, else any bridged port. Empty when there is none.
QString bridgedControllerPort();

// True when a run may start now: a controller behind an ALSA-to-JACK bridge gets a warning box
// first, and the run starts only when the user goes on (`refusal` says why when not). Whether
// the editor's search or download holds the ports the dialog asks the window.
bool mayStart(QWidget* dialog, QString* refusal);

} // namespace upgradecheck
