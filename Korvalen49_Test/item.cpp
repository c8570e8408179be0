#include "item.h"

#include "boxbinding.h"

#include <QVariant>

namespace {

const QStringList& typeEntries() {
    static const QStringList list{item::tr("Control"), item::tr("Note")};
    return list;
}

const QStringList& modeEntries() {
    static const QStringList list{item::tr("toggle"), item::tr("momentary")};
    return list;
}

// The list kind an assignment box holds: 0 controllers, 1 notes, -1 unknown.
int listKind(const QComboBox* box) {
    const QVariant kind = box->property(korvalen::kListKindProperty);
    return kind.isValid() ? kind.toInt() : -1;
}

} // namespace

item::item() : QObject(nullptr) {}

// --- Binding ---------------------------------------------------------------------------------

void item::BindTypeBox(QComboBox* box) {
    if (!box) return;
    korvalen::bindBox(typeBox, box, typeEntries(), !locked, type, this, &item::TypeSelChg);
    SyncAssignListOnBind();
}

void item::BindCCBox(QComboBox* box) {
    if (!box) return;
    if (korvalen::bindBox(ccBox, box, korvalen::controlEntries(), !locked, cc, this,
                          &item::CCSelChg))
        box->setProperty(korvalen::kListKindProperty, 0);
    SyncAssignListOnBind();
}

void item::BindChanBox(QComboBox* box) {
    if (!box) return;
    korvalen::bindBox(chanBox, box, korvalen::channelEntries(), !locked, chan, this,
                      &item::ChanSelChg);
}

void item::BindPortBox(QComboBox* box) {
    if (!box) return;
    korvalen::bindBox(portBox, box, korvalen::portEntries(), !locked, port, this,
                      &item::PortSelChg);
}

void item::BindModeBox(QComboBox* box) {
    if (!box) return;
    korvalen::bindBox(modeBox, box, modeEntries(), !locked, mode, this, &item::ModeSelChg);
}

// --- Assignment list -------------------------------------------------------------------------

// Empties the assignment box and fills it with the list of the current type, without
// announcing the box's intermediate selections. Leaves `cc` alone.
void item::RebuildAssignList() {
    const QSignalBlocker blocker(ccBox.data());
    ccBox->setProperty(korvalen::kListKindProperty, int(type));
    ccBox->clear();
    ccBox->addItems(type == 0 ? korvalen::controlEntries() : korvalen::noteEntries());
}

// After a type change: give the box the list of the new type. When the user switches to
// notes, a number past the note range does not survive and becomes 0. When the type is only
// shown (a bank switch, a file, a dump), the number is kept: the box then shows no entry.
void item::RefreshAssignList(bool userChoice) {
    if (!ccBox) return;
    if (listKind(ccBox) == type) return;
    const quint8 number = (userChoice && type == 1 && cc > korvalen::kMaxNote) ? 0 : cc;
    RebuildAssignList();
    cc = number;
    ccBox->setCurrentIndex(number);
    cc = number; // whatever the box reported on the way
}

// While binding a button whose type is already Note, the assignment box must show the note
// list. Binding changes no value, so a number past the note range is kept (no entry shown).
void item::SyncAssignListOnBind() {
    if (locked || !typeBox || !ccBox || listKind(ccBox) == type) return;
    RebuildAssignList();
    const QSignalBlocker blocker(ccBox.data());
    ccBox->setCurrentIndex(cc);
}

// --- Slots -----------------------------------------------------------------------------------
// A box that is emptied, or asked for an entry it does not have, reports index -1; that is no
// value and is ignored.

// A value that differs from the one held is the user's edit. (Showing a value selects the
// entry of the value held, so the slot then stores what it has.)

namespace {

void take(quint8& field, int index) {
    const auto value = static_cast<quint8>(index);
    if (field == value) return;
    field = value;
    korvalen::userEdited();
}

} // namespace

void item::TypeSelChg(int index) {
    if (locked || index < 0) return;
    const quint8 typeBefore = type;
    const quint8 ccBefore = cc;
    type = static_cast<quint8>(index);
    RefreshAssignList(true);
    // One edit, also when the new list took the number back to 0.
    if (type != typeBefore || cc != ccBefore) korvalen::userEdited();
}

void item::CCSelChg(int index) {
    if (!locked && index >= 0) take(cc, index);
}

void item::ChanSelChg(int index) {
    if (!locked && index >= 0) take(chan, index);
}

void item::PortSelChg(int index) {
    if (!locked && index >= 0) take(port, index);
}

void item::ModeSelChg(int index) {
    if (!locked && index >= 0) take(mode, index);
}

// --- Showing ---------------------------------------------------------------------------------

void item::ShowType() {
    if (locked || !typeBox) return;
    {
        // Showing is no choice of the user's: the type slot must not take it as one.
        const QSignalBlocker blocker(typeBox.data());
        typeBox->setCurrentIndex(type);
    }
    RefreshAssignList(false);
}

void item::ShowCC() {
    if (!locked && ccBox) ccBox->setCurrentIndex(cc);
}

void item::ShowChan() {
    if (!locked && chanBox) chanBox->setCurrentIndex(chan);
}

void item::ShowPort() {
    if (!locked && portBox) portBox->setCurrentIndex(port);
}

void item::ShowMode() {
    if (!locked && modeBox) modeBox->setCurrentIndex(mode);
}

// --- Setters ---------------------------------------------------------------------------------

void item::SetType(quint8 v) {
    if (v > korvalen::kMaxType) return;
    type = v;
    ShowType();
}

void item::SetCC(quint8 v) {
    if (v > korvalen::kMaxAssignment) return;
    cc = v;
    ShowCC();
}

void item::SetChan(quint8 v) {
    if (v > korvalen::kMaxChannel) return;
    chan = v;
    ShowChan();
}

void item::SetPort(quint8 v) {
    if (v > korvalen::kMaxPort) return;
    port = v;
    ShowPort();
}

void item::SetMode(quint8 v) {
    if (v > korvalen::kMaxMode) return;
    mode = v;
    ShowMode();
}

// --- All values --------------------------------------------------------------------------

void item::Apply(const korvalen::AssignmentValues& v) {
    SetType(v.type);
    SetCC(v.cc);
    SetChan(v.chan);
    SetPort(v.port);
    SetMode(v.mode);
}
