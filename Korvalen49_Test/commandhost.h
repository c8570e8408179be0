// What the editor's commands (the file, transfer and library commands) ask of the window that
// holds them: a parent for their dialogs and boxes, the status bar, the edit history, the title
// and the question before unsent edits are replaced. The commands know the window by this alone.
#pragma once

#include <QString>

#include <functional>

class EditHistory;
class QWidget;

class CommandHost {
public:
    // How long the status bar shows the result of a connection or a transfer.
    static constexpr int kResultTimeoutMs = 20000;

    // The parent of the commands' dialogs and boxes.
    virtual QWidget* dialogParent() = 0;
    virtual EditHistory& editHistory() = 0;
    // A text on the status bar for `timeoutMs`.
    virtual void showStatus(const QString& text, int timeoutMs = kResultTimeoutMs) = 0;
    // How every failure is told: on the status bar and, under the title `command`, in a warning
    // box that does not wait; with no command only on the status bar.
    virtual void showFailure(const QString& command, const QString& text) = 0;
    // A box that tells and does not wait for its answer.
    virtual void tellInBox(const QString& objectName, const QString& title, const QString& text,
                           bool warning) = 0;
    // When there are edits that were neither downloaded nor saved: asks whether `replacement`
    // may replace them, under the title `command`, in a box that does not wait. `then` runs
    // when it may (at once when nothing would be lost), `kept` when the edits are kept.
    virtual void mayReplaceEdits(const QString& command, const QString& replacement,
                                 std::function<void()> then, std::function<void()> kept = {}) = 0;
    // The preset number or the whole preset has changed: the title follows.
    virtual void refreshTitle() = 0;

protected:
    ~CommandHost() = default;
};
