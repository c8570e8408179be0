// Quit, the Help menu with its windows, and the access letters of the menus.
#include "helpmenu.h"

#include "korvalen49_test.h"
#include "rtmidibackend.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <functional>

namespace helpmenu {

namespace {

// The position of the access mark's '&' in `text`, or -1.
qsizetype markAt(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] != QLatin1Char('&')) return i;
        ++i; // "&&" is a plain '&'
    }
    return -1;
}

void markEntries(const QList<QAction*>& actions) {
    QSet<QChar> taken;
    for (const QAction* a : actions) {
        const QChar letter = accessLetter(a->text());
        if (!letter.isNull()) taken.insert(letter);
    }
    for (QAction* a : actions) {
        if (a->isSeparator() || a->text().isEmpty() || !accessLetter(a->text()).isNull()) continue;
        const QString marked = withAccessLetter(a->text(), taken);
        const QChar letter = accessLetter(marked);
        if (letter.isNull()) continue;
        taken.insert(letter);
        a->setText(marked);
    }
}

QString keysOf(const QAction* action) {
    QStringList keys;
    for (const QKeySequence& key : action->shortcuts())
        keys << key.toString(QKeySequence::NativeText);
    return keys.join(QStringLiteral(", "));
}

void showShortcuts(Korvalen49_Test& window) {
    auto* shown = window.findChild<ShortcutsWindow*>(QStringLiteral("keyboardShortcuts"));
    // Made anew each time: the entries' texts follow the edits (Undo names its step).
    delete shown;
    shown = new ShortcutsWindow(shortcutList(window.menuBar()), &window);
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void showAbout(Korvalen49_Test& window) {
    if (auto* open = window.findChild<QMessageBox*>(QStringLiteral("aboutBox"))) {
        open->raise();
        open->activateWindow();
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, QObject::tr("About Korvalen25 Editor"),
                                versionsText(), QMessageBox::Ok, &window);
    box->setObjectName(QStringLiteral("aboutBox"));
    box->setInformativeText(
        QObject::tr("A preset editor for the Korvalen25 USB MIDI keyboard controller."));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace

QChar accessLetter(const QString& text) {
    const qsizetype at = markAt(text);
    return at < 0 ? QChar() : text[at + 1].toLower();
}

QString shownText(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) ++i;
        shown += text[i];
    }
    return shown;
}

QString withAccessLetter(const QString& text, const QSet<QChar>& taken) {
    if (!accessLetter(text).isNull()) return text;
    auto wordStart = [&text](qsizetype i) { return i == 0 || !text[i - 1].isLetterOrNumber(); };
    auto free = [&text, &taken](qsizetype i) {
        return text[i].isLetterOrNumber() && !taken.contains(text[i].toLower());
    };
    const std::function<bool(qsizetype)> passes[] = {
        [&](qsizetype i) { return wordStart(i) && text[i].isUpper(); },
        [&](qsizetype i) { return wordStart(i); },
        [](qsizetype) { return true; },
    };
    for (const auto& wanted : passes)
        for (qsizetype i = 0; i < text.size(); ++i)
            if (free(i) && wanted(i)) return text.left(i) + QLatin1Char('&') + text.mid(i);
    return text;
}

void giveAccessLetters(QMenuBar* bar) {
    markEntries(bar->actions());
    for (QAction* title : bar->actions())
        if (QMenu* menu = title->menu()) markEntries(menu->actions());
}

QList<Shortcut> shortcutList(const QMenuBar* bar) {
    QList<Shortcut> list;
    for (const QAction* title : bar->actions()) {
        const QMenu* menu = title->menu();
        if (menu == nullptr) continue;
        for (const QAction* entry : menu->actions()) {
            const QString keys = keysOf(entry);
            if (keys.isEmpty()) continue;
            list.append({keys, QObject::tr("%1 > %2").arg(shownText(title->text()),
                                                          shownText(entry->text()))});
        }
    }
    list.append({QObject::tr("Alt+underlined letter"),
                 QObject::tr("Opens that menu; in an open menu, chooses that entry")});
    list.append({QObject::tr("Tab, Shift+Tab"),
                 QObject::tr("Move through the boxes of the shown page, then through the parts "
                             "of the controller picture")});
    list.append({QObject::tr("Arrow keys"),
                 QObject::tr("Move between the parts of the controller picture")});
    list.append({QObject::tr("Enter, Space"),
                 QObject::tr("Show the page of the picture's part that has the focus")});
    list.append({QObject::tr("Enter"),
                 QObject::tr("Preset Library: opens the chosen preset, as Load from file")});
    list.append(
        {QObject::tr("Delete"), QObject::tr("Preset Library: moves the chosen file to the trash")});
    list.append({QObject::tr("F2"), QObject::tr("Preset Library: renames the chosen file")});
    return list;
}

QString versionsText() {
    return QObject::tr("Korvalen25 Editor %1\nQt %2 (built with %3)\nRtMidi %4")
        .arg(QCoreApplication::applicationVersion(), QLatin1String(qVersion()),
             QLatin1String(QT_VERSION_STR),
             QString::fromStdString(korvalen::midi::rtMidiVersion()));
}

ShortcutsWindow::ShortcutsWindow(const QList<Shortcut>& shortcuts, QWidget* parent)
    : QDialog(parent), table_(new QTableWidget(this)) {
    setObjectName(QStringLiteral("keyboardShortcuts"));
    setWindowTitle(tr("Keyboard Shortcuts"));
    setAccessibleName(tr("Keyboard Shortcuts"));
    setModal(false);

    table_->setObjectName(QStringLiteral("shortcutList"));
    table_->setAccessibleName(tr("Keyboard shortcuts"));
    table_->setColumnCount(2);
    table_->setHorizontalHeaderLabels({tr("Keys"), tr("What they do")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    // Tab leaves the list for the Close button.
    table_->setTabKeyNavigation(false);
    table_->setWordWrap(true);
    table_->setRowCount(int(shortcuts.size()));
    for (int row = 0; row < shortcuts.size(); ++row) {
        table_->setItem(row, 0, new QTableWidgetItem(shortcuts[row].keys));
        table_->setItem(row, 1, new QTableWidgetItem(shortcuts[row].what));
    }
    table_->resizeColumnToContents(0);
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table_->setCurrentCell(0, 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("shortcutButtons"));
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("shortcutClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    setTabOrder(table_, close);
    // The rows grow to their wrapped texts whenever the columns change width.
    connect(table_->horizontalHeader(), &QHeaderView::sectionResized, table_,
            &QTableView::resizeRowsToContents);
    resize(620, 420);
}

void setUp(Korvalen49_Test& window, QMenu& mainMenu) {
    mainMenu.addSeparator();
    QAction* quit = mainMenu.addAction(QObject::tr("Quit"));
    quit->setObjectName(QStringLiteral("actionQuit"));
    // Desktops without a standard key for quitting still get Ctrl+Q.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quitKeys.isEmpty()) quitKeys << QKeySequence(Qt::CTRL | Qt::Key_Q);
    quit->setShortcuts(quitKeys);
    // Closing the window asks about a running upgrade or download and about unsent edits.
    QObject::connect(quit, &QAction::triggered, &window, &QWidget::close);

    QMenu* help = window.menuBar()->addMenu(QObject::tr("Help"));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* keys = help->addAction(QObject::tr("Keyboard Shortcuts"), &window,
                                    [&window] { showShortcuts(window); });
    keys->setObjectName(QStringLiteral("actionKeyboardShortcuts"));
    keys->setShortcuts(QKeySequence::HelpContents);
    QAction* report = help->addAction(QObject::tr("Report a Problem…"), &window,
                                      &Korvalen49_Test::diagnosticsReportSlot);
    report->setObjectName(QStringLiteral("actionReportProblem"));
    QAction* about =
        help->addAction(QObject::tr("About"), &window, [&window] { showAbout(window); });
    about->setObjectName(QStringLiteral("actionAbout"));

    giveAccessLetters(window.menuBar());
}

} // namespace helpmenu
