// One control assignment: what an encoder, button, pad, transport button or the slider sends
// (message type, controller or note number, channel, port, button mode), kept in step with the
// combo boxes of its editing panel. Bank copies of one control share one set of boxes; only the
// copy of the selected bank is unlocked and follows the boxes.
#pragma once

#include "presetprotocol.h"

#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <QtGlobal>

namespace korvalen {

// Name of the dynamic property on an assignment box that records which list it holds:
// 0 the controller list, 1 the note list. Bank copies share the box, so the box keeps it.
inline constexpr const char* kListKindProperty = "korvalenListKind";

} // namespace korvalen

class item : public QObject {
    Q_OBJECT

public:
    item();

    // Binding: store the box, fill it when it is empty, select the current value when the
    // item is unlocked, and connect the box to the slot of its field. Values never change.
    void BindTypeBox(QComboBox* box);
    void BindCCBox(QComboBox* box);
    void BindChanBox(QComboBox* box);
    void BindPortBox(QComboBox* box);
    void BindModeBox(QComboBox* box);

    // Select the field's value in its box; nothing when the item is locked or the box absent.
    void ShowType(); // also brings the assignment list in line with the type
    void ShowCC();
    void ShowChan();
    void ShowPort();
    void ShowMode();

    // Bounded setters: a value past the bound (korvalen::kMaxType ... kMaxMode) is ignored. An
    // accepted value is stored even when the item is locked, then shown.
    void SetType(quint8 v);
    void SetCC(quint8 v);
    void SetChan(quint8 v);
    void SetPort(quint8 v);
    void SetMode(quint8 v);

    quint8 GetType() const { return type; }
    quint8 GetCC() const { return cc; }
    quint8 GetChan() const { return chan; }
    quint8 GetPort() const { return port; }
    quint8 GetMode() const { return mode; }

    // Bank lock: a locked item ignores its boxes and shows nothing.
    void SetLocked(bool on) { locked = on ? 1 : 0; }
    bool IsLocked() const { return locked != 0; }

    // All five values at once. Apply hands them to the bounded setters, the type first so that
    // the assignment list fits it before the number is shown.
    korvalen::AssignmentValues Values() const { return {type, cc, chan, port, mode}; }
    void Apply(const korvalen::AssignmentValues& v);

public slots:
    void TypeSelChg(int index);
    void CCSelChg(int index);
    void ChanSelChg(int index);
    void PortSelChg(int index);
    void ModeSelChg(int index);

private:
    void RefreshAssignList(bool userChoice);
    void RebuildAssignList();
    void SyncAssignListOnBind();

    quint8 locked = 0;
    quint8 type = 0;
    quint8 cc = 0;
    quint8 chan = 0;
    quint8 port = 0;
    quint8 mode = 0;
    QPointer<QComboBox> typeBox;
    QPointer<QComboBox> ccBox;
    QPointer<QComboBox> chanBox;
    QPointer<QComboBox> portBox;
    QPointer<QComboBox> modeBox;
};
