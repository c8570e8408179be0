// The edits of the preset being edited: undo and redo, and whether there are edits that have
// been neither downloaded nor saved.
//
// Every change the user makes in a box (in any bank) is one undo step, and so is every load of
// a file and every upload from the controller. A step holds the whole preset before and after
// it, so undoing a change made in another bank puts that bank's value back even though its
// boxes are not shown; the boxes show it when the bank is selected again. Undo and redo change
// only the editor's preset: nothing is sent to the controller.
#pragma once

#include "presetmodel.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

class EditHistory : public QObject {
    Q_OBJECT

public:
    explicit EditHistory(QObject* parent = nullptr);
    ~EditHistory() override;

    QUndoStack& stack() { return stack_; }

    // What the preset was last put in step with.
    enum class Source { Nothing, Controller, File };
    // The preset as it is now has just been uploaded or downloaded (Controller), or loaded or
    // saved (File, with the file's name): from here on, a difference is an edit.
    void markInStep(Source source, const QString& fileName = {});
    // True when the preset differs from what it was last put in step with.
    bool modified() const;
    // The status bar's note: the edits, or what the preset is the same as.
    QString note() const;

    // A box change of the user's: one step from the preset as last known to the preset now.
    void userEdited();
    // The preset was replaced as a whole (`what`: a load, an upload): one step from `before`.
    void replaced(const PresetSnapshot& before, const QString& what);
    // The preset was put back without a step (an upload that did not end).
    void resync();

    // "E3, bank 2", "P1, bank B", "PLAY", "S1", "Zone 2" or "several controls": what differs
    // between two presets; empty when nothing does.
    static QString changedControls(const PresetSnapshot& before, const PresetSnapshot& after);

signals:
    // modified() or note() may have changed.
    void changed();
    // An undo or a redo has put values back; `text` names the step.
    void restored(const QString& text);

private:
    class Step;
    void apply(const PresetSnapshot& snapshot, const QString& text);

    QUndoStack stack_;
    PresetSnapshot known_;  // the preset as the history last saw it
    PresetSnapshot inStep_; // the preset as last uploaded, downloaded, loaded or saved
    Source source_ = Source::Nothing;
    QString fileName_;
    bool applying_ = false;
};
