// Two presets side by side, control by control: the editor's, a file's, a snapshot's or one
// read from the controller. Each row is a field in which they differ, with both values as the
// window's boxes show them; either side's values can be taken into the editor, those of the
// selected rows or all of them, each time as one undo step.
#pragma once

#include "presetcompare.h"

#include <QString>
#include <QWidget>

class CommandHost;
class QLabel;
class QPushButton;
class QTreeWidget;

class CompareWindow : public QWidget {
    Q_OBJECT

public:
    struct Side {
        QString name;
        korvalen::PresetValues values;
        bool zoneChannelsKnown = true;
        bool isEditor = false; // the editor's preset: follows it after a value is taken
    };

    CompareWindow(CommandHost& host, QWidget* parent);

    // Shows the differences of `first` and `second`.
    void compare(const Side& first, const Side& second);
    // The editor's preset as one side.
    static Side editorSide();

    QTreeWidget* list() const { return list_; }
    const std::vector<korvalen::ComparedField>& differences() const { return differences_; }
    // Takes the value of side 0 (first) or 1 (second) of row `row` into the editor, as one
    // undo step. False for a row that is not there.
    bool takeValue(int row, int side);
    // Takes the values of side 0 or 1 of `rows` into the editor, all as one undo step. False
    // (and nothing taken) when a row is not there or there is none.
    bool takeValues(const QList<int>& rows, int side);
    // Takes every value of side 0 or 1: the editor then holds that side's preset.
    bool takeAll(int side);

private:
    void refill();
    void takeSelected(int side);
    // The buttons' texts follow the selection.
    void updateButtons();

    CommandHost& host_;
    Side sides_[2];
    std::vector<korvalen::ComparedField> differences_;
    QTreeWidget* list_;
    QLabel* summary_;
    QPushButton* take_[2];
    QPushButton* takeAll_[2];
};
