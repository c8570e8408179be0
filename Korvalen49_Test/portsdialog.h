// "MIDI Ports": every input and output port the backend lists, what the last device search
// did with each (opened, took the probe, answered, or why it could not be opened), the
// controller's ports, and ports behind a bridge that drops long SysEx.
#pragma once

#include "devicesearch.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QLabel;
class QTreeWidget;

class PortsDialog : public QDialog {
    Q_OBJECT

public:
    explicit PortsDialog(QWidget* parent = nullptr);

    // What the window knows when it shows the ports.
    struct Facts {
        QString backend;
        QString server;     // the MIDI server behind it, in a few words; empty: none to tell of
        QStringList inputs; // the ports listed now
        QStringList outputs;
        korvalen::midi::SearchRecord search; // the last search
        bool searched = false;               // false before the first search
        QString controllerInput;             // the controller's ports while connected
        QString controllerOutput;
    };

    // One line of the list.
    struct Row {
        QString direction; // "In" or "Out"
        QString name;
        QString search; // what the last search did with the port
        QString note;   // the controller's port, a bridge
        bool operator==(const Row&) const = default;
    };
    static QList<Row> rowsFor(const Facts& facts);
    static QString summaryFor(const Facts& facts);
    // What a bridged port means, when one is listed; empty otherwise.
    static QString bridgeWarningFor(const Facts& facts);

    // Fills the window; show() shows it.
    void setFacts(const Facts& facts);
    // The lines as shown, for tests and for a look at what the window says.
    QList<Row> shownRows() const;
    QString shownSummary() const;
    QString shownBridgeWarning() const;

private:
    QLabel* summary_;
    QTreeWidget* list_;
    QLabel* bridge_;
};
