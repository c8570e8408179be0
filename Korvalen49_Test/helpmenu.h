// The keys of the editor window: Quit at the end of "Menu", the Help menu (Keyboard Shortcuts,
// Report a Problem, About) last in the menu bar, and an access letter on every menu and entry.
#pragma once

#include <QDialog>
#include <QList>
#include <QSet>
#include <QString>

class Korvalen49_Test;
class QMenu;
class QMenuBar;
class QTableWidget;

namespace helpmenu {

// Adds Quit (Ctrl+Q, through the window's close, which asks about unsent edits) at the end of
// `mainMenu`, then the Help menu after every other menu of the bar, then gives the access
// letters. Called once, after every other menu of the window is made.
void setUp(Korvalen49_Test& window, QMenu& mainMenu);

// The access letter of a menu text: the character after a single '&' ("F&irmware": 'i'),
// lower case; a null QChar when there is none ("&&" is a plain '&').
QChar accessLetter(const QString& text);

// The text without its access mark, as the menu shows it ("F&irmware": "Firmware").
QString shownText(const QString& text);

// `text` with an access letter that is not in `taken` (lower case letters): the first letter
// of a capitalised word, else of any word, else any letter or digit. Unchanged when it has one
// already, or when every letter is taken.
QString withAccessLetter(const QString& text, const QSet<QChar>& taken);

// Gives an access letter to every menu title of `bar` and every entry of its menus that has
// none, each unique within its menu; letters set in the source are kept.
void giveAccessLetters(QMenuBar* bar);

// One line of the Keyboard Shortcuts window.
struct Shortcut {
    QString keys;
    QString what;
};

// Every shortcut of `bar`'s menus ("Ctrl+S", "File > Save to file"), the access letters, and
// the keys of the picture, the Tab order and the library window.
QList<Shortcut> shortcutList(const QMenuBar* bar);

// The editor's version and those of Qt and RtMidi, one a line.
QString versionsText();

// The Keyboard Shortcuts window: the list and a Close button. It does not hold the editor up.
class ShortcutsWindow : public QDialog {
    Q_OBJECT

public:
    ShortcutsWindow(const QList<Shortcut>& shortcuts, QWidget* parent);
    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_;
};

} // namespace helpmenu
