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
    awaitingFirst_ = false;
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
    // The first preset is where undo ends, not a step back to the boxes before it.
    const bool first = std::exchange(awaitingFirst_, false);
    if (!first && known_ != before) stack_.push(new Step(*this, before, known_, what));
    emit changed();
}

void EditHistory::resync() {
    awaitingFirst_ = false;
    known_ = takePresetSnapshot();
    emit changed();
}

void EditHistory::apply(const PresetSnapshot& snapshot, const QString& text) {
    applying_ = true;
    restorePresetSnapshot(snapshot);
    applying_ = false;
    const PresetSnapshot from = std::exchange(known_, snapshot);
    emit restored(text, from, known_);
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

namespace {

using Place = EditHistory::Place;

// The boxes of an assignment's fields that differ; encoders and the slider have no type and
// mode boxes.
QStringList assignmentBoxes(const QString& prefix, const korvalen::AssignmentValues& a,
                            const korvalen::AssignmentValues& b, bool buttonFields) {
    QStringList boxes;
    if (buttonFields && a.type != b.type) boxes << prefix + QStringLiteral("_typeBox");
    if (a.cc != b.cc) boxes << prefix + QStringLiteral("_ccBox");
    if (a.chan != b.chan) boxes << prefix + QStringLiteral("_ChBox");
    if (a.port != b.port) boxes << prefix + QStringLiteral("_PortBox");
    if (buttonFields && a.mode != b.mode) boxes << prefix + QStringLiteral("_modeBox");
    return boxes;
}

QStringList zoneBoxes(int z, const korvalen::ZoneValues& a, const korvalen::ZoneValues& b) {
    const QString name = QStringLiteral("zone%1").arg(z + 1);
    QStringList boxes;
    // Zone 1 is always on and has no status box.
    if (z > 0 && a.status != b.status) boxes << name + QStringLiteral("Sta");
    const struct {
        std::uint8_t korvalen::ZoneValues::*field;
        const char* box;
    } fields[] = {
        {&korvalen::ZoneValues::prog, "Prog"},       {&korvalen::ZoneValues::msb, "MSB"},
        {&korvalen::ZoneValues::lsb, "LSB"},         {&korvalen::ZoneValues::port, "Port"},
        {&korvalen::ZoneValues::chan, "Chan"},       {&korvalen::ZoneValues::rangSta, "RangSta"},
        {&korvalen::ZoneValues::rangEnd, "RangEnd"}, {&korvalen::ZoneValues::oct, "Oct"},
        {&korvalen::ZoneValues::trans, "Trans"}};
    for (const auto& f : fields)
        if (a.*f.field != b.*f.field) boxes << name + QLatin1String(f.box);
    return boxes;
}

} // namespace

std::optional<Place> EditHistory::changedPlace(const PresetSnapshot& before,
                                               const PresetSnapshot& after) {
    const korvalen::PresetValues& a = before.values;
    const korvalen::PresetValues& b = after.values;
    std::optional<Place> found;
    int count = 0;
    auto note = [&](Place::Group group, int bank, QStringList boxes) {
        if (++count == 1) found = Place{group, bank, std::move(boxes)};
    };
    if (a.slider != b.slider)
        note(Place::Group::Slider, -1,
             assignmentBoxes(QStringLiteral("S1"), a.slider, b.slider, false));
    for (std::size_t i = 0; i < a.encoders.size(); ++i)
        if (a.encoders[i] != b.encoders[i])
            note(Place::Group::Encoder, int(i / 8),
                 assignmentBoxes(QStringLiteral("E%1").arg(i % 8 + 1), a.encoders[i], b.encoders[i],
                                 false));
    for (std::size_t i = 0; i < a.functions.size(); ++i)
        if (a.functions[i] != b.functions[i])
            note(Place::Group::Function, int(i / 4),
                 assignmentBoxes(QStringLiteral("F%1").arg(i % 4 + 1), a.functions[i],
                                 b.functions[i], true));
    for (std::size_t i = 0; i < a.pads.size(); ++i)
        if (a.pads[i] != b.pads[i])
            note(Place::Group::Pad, int(i / 4),
                 assignmentBoxes(QStringLiteral("P%1").arg(i % 4 + 1), a.pads[i], b.pads[i], true));
    for (std::size_t i = 0; i < a.transport.size(); ++i)
        if (a.transport[i] != b.transport[i])
            note(Place::Group::Transport, -1,
                 assignmentBoxes(QStringLiteral("Z%1").arg(i + 1), a.transport[i], b.transport[i],
                                 true));
    for (std::size_t i = 0; i < a.zones.size(); ++i)
        if (a.zones[i] != b.zones[i])
            note(Place::Group::Zone, -1, zoneBoxes(int(i), a.zones[i], b.zones[i]));
    if (count != 1) return std::nullopt;
    return found;
}
