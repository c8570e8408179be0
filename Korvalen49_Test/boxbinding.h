// What items and zones share with their combo boxes: the lists the boxes show, the binding of
// a box to the slot of one field, and the hook that hears of the user's edits.
#pragma once

#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <QSignalBlocker>
#include <QString>
#include <QStringList>

#include <functional>

namespace korvalen {

// The list of `count` entries make(0) ... make(count - 1).
template <typename Make> QStringList buildList(int count, Make make) {
    QStringList list;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(make(i));
    return list;
}

// The lists the boxes show, built once and shared by every box.
const QStringList& controlEntries(); // 172 entries "%d  %s": assignment number and name
const QStringList& noteEntries();    // 128 entries "%d    %s%d": note number, name, octave
const QStringList& channelEntries(); // "Ch1" ... "Ch16", "--"
const QStringList& portEntries();    // "P1" ... "P5", "--"

// The user changed a value of an item or a zone through one of its boxes. Setters, bank
// switches and binding never count as such a change. There is one hook for the program; the
// window keeps its undo steps and its edit note with it. An empty hook does nothing.
void setUserEditHook(std::function<void()> hook);
void userEdited();

// Binds one box to the slot of one field: keeps the box in `field` (dropping the connection of
// a box bound there before), fills the box with `entries` when it is empty, selects `value`
// when `select` is set, and connects currentIndexChanged(int) to the slot. The box's automatic
// selection of its first entry while it is filled, and the selection of `value`, are not
// announced, so binding never reaches the slot. Returns true when the box was filled here.
template <typename Owner>
bool bindBox(QPointer<QComboBox>& field, QComboBox* box, const QStringList& entries, bool select,
             int value, Owner* owner, void (Owner::*slot)(int)) {
    if (field && field != box)
        QObject::disconnect(field.data(), &QComboBox::currentIndexChanged, owner, slot);
    field = box;
    const QSignalBlocker blocker(box);
    const bool filled = box->count() == 0;
    if (filled) box->addItems(entries);
    if (select) box->setCurrentIndex(value);
    QObject::connect(box, &QComboBox::currentIndexChanged, owner, slot, Qt::UniqueConnection);
    return filled;
}

} // namespace korvalen
