// What the upgrade dialog looks at before it starts a run.
#pragma once

#include <QString>

class QWidget;

namespace upgradecheck {

// The output port that a run would most likely flash through and that sits behind an
// ALSA-to-JACK bridge: the editor's controller port when it is known, else a bridged port with
// "Korvalen" in its name, else any bridged port. Empty when there is none.
QString bridgedControllerPort();

// True when a run may start now. While the editor searches for the controller it may not (the
// search owns the ports; `refusal` says why). A controller behind an ALSA-to-JACK bridge gets a
// warning box first, and the run starts only when the user goes on.
bool mayStart(QWidget* dialog, QString* refusal);

} // namespace upgradecheck
