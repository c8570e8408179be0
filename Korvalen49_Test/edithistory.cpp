#include "edithistory.h"

#include <QUndoCommand>

#include <cstddef>
#include <utility>

// One step: the whole preset before and after it. The change has happened when the step is
// pushed, so its first redo does nothing.
class EditHistory::Step : public QUndoCommand {
public:
    Step(EditHistory& history, PresetSnapshot before, PresetSnapshot after, const QString& text)
        : QUndoCommand(text), history_(history), before_(std::move(before)),
          after_(std::move(after)) {}

    void undo() override { history_.apply(before_, text()); }
    void redo() override {
        if (std::exchange(pushed_, true)) history_.apply(after_, text());
    }

private:
    EditHistory& history_;
    PresetSnapshot before_;
    PresetSnapshot after_;
    bool pushed_ = false;
};

EditHistory::EditHistory(QObject* parent)
    : QObject(parent), known_(takePresetSnapshot()), inStep_(known_) {}

EditHistory::~EditHistory() = default;

void EditHistory::markInStep(Source source, const QString& fileName) {
    known_ = inStep_ = takePresetSnapshot();
    source_ = source;
    fileName_ = fileName;
    emit changed();
}

bool EditHistory::modified() const {
    return takePresetSnapshot() != inStep_;
}

QString EditHistory::note() const {
    if (modified()) return tr("Edited: not downloaded or saved");
    switch (source_) {
    case Source::Controller:
        return tr("Same as on the controller");
    case Source::File:
        return tr("Same as %1").arg(fileName_);
    case Source::Nothing:
        break;
    }
    return {};
}

void EditHistory::userEdited() {
    // Putting values back reaches the boxes and their slots; that is no edit of the user's.
    if (applying_) return;
    PresetSnapshot now = takePresetSnapshot();
    if (now == known_) return;
    const QString text = changedControls(known_, now);
    stack_.push(new Step(*this, std::exchange(known_, now), now, text));
    emit changed();
}

void EditHistory::replaced(const PresetSnapshot& before, const QString& what) {
    known_ = takePresetSnapshot();
    if (known_ != before) stack_.push(new Step(*this, before, known_, what));
    emit changed();
}

void EditHistory::resync() {
    known_ = takePresetSnapshot();
    emit changed();
}

void EditHistory::apply(const PresetSnapshot& snapshot, const QString& text) {
    applying_ = true;
    restorePresetSnapshot(snapshot);
    applying_ = false;
    known_ = snapshot;
    emit restored(text);
    emit changed();
}

QString EditHistory::changedControls(const PresetSnapshot& before, const PresetSnapshot& after) {
    const korvalen::PresetValues& a = before.values;
    const korvalen::PresetValues& b = after.values;
    QStringList names;
    if (a.slider != b.slider) names << QStringLiteral("S1");
    for (std::size_t i = 0; i < a.encoders.size(); ++i)
        if (a.encoders[i] != b.encoders[i])
            names << tr("E%1, bank %2").arg(i % 8 + 1).arg(i / 8 + 1);
    for (std::size_t i = 0; i < a.functions.size(); ++i)
        if (a.functions[i] != b.functions[i])
            names << tr("F%1, bank %2").arg(i % 4 + 1).arg(i / 4 + 1);
    static const char* const transport[] = {"REW", "FF", "STOP", "PLAY", "REC"};
    for (std::size_t i = 0; i < a.transport.size(); ++i)
        if (a.transport[i] != b.transport[i]) names << QString::fromLatin1(transport[i]);
    for (std::size_t i = 0; i < a.pads.size(); ++i)
        if (a.pads[i] != b.pads[i])
            names << tr("P%1, bank %2")
                         .arg(i % 4 + 1)
                         .arg(i < 4 ? QLatin1Char('A') : QLatin1Char('B'));
    for (std::size_t i = 0; i < a.zones.size(); ++i)
        if (a.zones[i] != b.zones[i]) names << tr("Zone %1").arg(i + 1);
    if (names.size() > 1) return tr("several controls");
    return names.value(0);
}
