// More than one controller on the MIDI ports: the editor asks which one to use, by port name,
// in a box of its own that does not block, and remembers the choice for the next start; the
// upgrade dialog asks which one to flash.
#pragma once

#include "devicesearch.h"

#include <QString>

#include <functional>
#include <vector>

class QInputDialog;
class QWidget;
class Korvalen49_Test;
class UpgradeDlg;

namespace choosecontroller {

// The box's objectName, for tests.
inline constexpr char kBoxName[] = "chooseController";

// The port name of the controller chosen last (its output), empty when none was chosen.
QString rememberedPort();
void rememberPort(const QString& name);
// The preference of the editor's searches: the port chosen last. A controller that no longer
// answers there leaves the choice to the search (the only one, or the box again).
korvalen::midi::PortPreference editorPreference();

// Asks which of `devices` to use, by port name, in a box that does not block; when the user
// picks one `chosen` gets its output port's name. The box deletes itself when closed.
QInputDialog* ask(QWidget* parent, const QString& title, const QString& question,
                  const std::vector<korvalen::midi::FoundDevice>& devices,
                  std::function<void(const QString&)> chosen);

// The window's search has ended with `result`: when several controllers answered and none was
// chosen, asks which one to use, remembers it and searches again; true then (the window
// treats the search as ended without a connection, and says nothing more).
bool takeSearchEnd(Korvalen49_Test* window, korvalen::midi::SearchResult result,
                   const korvalen::midi::SearchRecord& record);

// The upgrade worker's run has ended: when it found several controllers in upgrade mode and
// none was chosen, asks which one to flash and starts the run again on it.
void takeUpgradeEnd(UpgradeDlg* dialog);

} // namespace choosecontroller
