// What a screen reader and a keyboard user get from the window and its dialogs: every control
// named in words (a box by the control, bank and field it sets, never by its value), the Tab
// order in reading order, the picture's decoration left out of it, the arrow keys moving
// through the picture, and a focus frame that shows where the keyboard is.
#pragma once

#include <QString>

class QWidget;

namespace a11y {

// The main form once it is set up and bound: the picture, the first page and the bank boxes.
// Installs the focus frame for the whole program (once).
void describeMainForm(QWidget* window);

// A page of panels built later (`page` holds the widgets of one page of the page widget),
// after it has been bound and put into the focus chain.
void describePage(QWidget* page);

// A dialog or tool window: names its controls found by objectName, and puts its boxes in
// reading order where the form made them in another order.
void describeWindow(QWidget* window);

// The accessible name of a panel box `objectName` in its bank (encoders and function buttons
// 0-3, pads 0-1) and with its assignment list (0 controllers, 1 notes); empty when the name is
// not one of a panel box: "E3, bank 2: CC number", "Zone2: program".
QString boxName(const QString& objectName, int bank, int listKind);

// True when `name` says something in words: it has two letters in a row ("Play", "OK"), not
// only signs or a letter and a number ("<<", "#", "P1").
bool isWords(const QString& name);

} // namespace a11y
