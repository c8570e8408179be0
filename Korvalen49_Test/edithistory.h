// The edits of the preset being edited: undo and redo, and whether there are edits that have
// been neither downloaded nor saved.
//
// The history begins with the first preset the editor holds: the preset 0 uploaded at start-up
// or, without a controller, the empty preset. From there every change the user makes in a box
// (in any bank) is one undo step, and so is every later load of a file and upload from the
// controller. A step holds the whole preset before and after it, so undoing a change made in
// another bank puts that bank's value back; the window then shows that control's page and bank
// (changedPlace()). Undo and redo change only the editor's preset: nothing is sent to the
// controller.
#pragma once

#include "presetmodel.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUndoStack>

#include <optional>

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
    // The file the preset was last loaded from or saved to; empty when it was last put in
    // step with the controller, or with nothing.
    QString fileName() const { return source_ == Source::File ? fileName_ : QString(); }
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
    // The preset the history begins with is on its way (the upload of preset 0 once the
    // controller was found at start-up): the next replacement is the first state, not a step.
    // A resync or anything that puts the preset in step ends the wait.
    void expectFirstPreset() { awaitingFirst_ = true; }

    // "E3, bank 2", "P1, bank B", "PLAY", "S1", "Zone 2" or "several controls": what differs
    // between two presets; empty when nothing does.
    static QString changedControls(const PresetSnapshot& before, const PresetSnapshot& after);

    // Where the window shows a control: its group (which is its page), its bank and the boxes
    // of the values that changed.
    struct Place {
        enum class Group { Encoder, Function, Pad, Transport, Slider, Zone }; // in page order
        Group group = Group::Encoder;
        int bank = -1;     // encoders and function buttons 0-3, pads 0 (A) and 1 (B), else -1
        QStringList boxes; // objectNames of the boxes whose values differ
        bool operator==(const Place&) const = default;
    };
    // The place of the one control that differs between two presets; none when nothing or more
    // than one control differs (a load, an upload).
    static std::optional<Place> changedPlace(const PresetSnapshot& before,
                                             const PresetSnapshot& after);

signals:
    // modified() or note() may have changed.
    void changed();
    // An undo or a redo has put values back: `text` names the step, `from` is the preset before
    // and `to` the preset now.
    void restored(const QString& text, const PresetSnapshot& from, const PresetSnapshot& to);

private:
    class Step;
    void apply(const PresetSnapshot& snapshot, const QString& text);

    QUndoStack stack_;
    PresetSnapshot known_;  // the preset as the history last saw it
    PresetSnapshot inStep_; // the preset as last uploaded, downloaded, loaded or saved
    Source source_ = Source::Nothing;
    QString fileName_;
    bool applying_ = false;
    bool awaitingFirst_ = false;
};
