// One keyboard zone: on/off, program with bank select, channel, port, key range, octave and
// transpose, kept in step with the combo boxes of its panel. The zone writes its caption
// ("Zone2:Violin", "Zone2: Closed") onto its selector button.
#pragma once

#include "presetprotocol.h"

#include <QComboBox>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QtGlobal>

class zone : public QObject {
    Q_OBJECT

public:
    zone();

    // Text of an octave or transpose entry: "- 3" below the midpoint, "0", "3" from it on.
    static QString OffsetText(int value, int midpoint);

    // Set-up before binding: zone number - 1 and the button that shows the caption.
    void SetZoneIndex(int index) { zoneIndex = static_cast<quint8>(index); }
    // The button of the picture that names the zone; it shows the caption at once.
    void SetCaptionButton(QPushButton* button);
    int ZoneIndex() const { return zoneIndex; }
    QPushButton* CaptionButton() const { return captionButton.data(); }

    // Binding: store the box, fill it when it is empty, select the current value, connect the
    // box to the field's slot. Values never change.
    void BindStuBox(QComboBox* box);
    void BindProgBox(QComboBox* box);
    void BindMSBBox(QComboBox* box);
    void BindLSBBox(QComboBox* box);
    void BindChanBox(QComboBox* box);
    void BindPortBox(QComboBox* box);
    void BindRangStaBox(QComboBox* box);
    void BindRangEndBox(QComboBox* box);
    void BindOctBox(QComboBox* box);
    void BindTransBox(QComboBox* box);

    // Bounded setters: a value past the bound (korvalen::kMaxZoneStatus ... kMaxTranspose) is
    // ignored; an accepted one is stored and shown.
    void SetStatus(quint8 v);
    void SetProg(quint8 v);
    void SetMSB(quint8 v);
    void SetLSB(quint8 v);
    void SetChan(quint8 v);
    void SetPort(quint8 v);
    void SetRangSta(quint8 v);
    void SetRangEnd(quint8 v);
    void SetOct(quint8 v);
    void SetTrans(quint8 v);

    quint8 GetStatus() const { return status; }
    quint8 GetProg() const { return prog; }
    quint8 GetMSB() const { return msb; }
    quint8 GetLSB() const { return lsb; }
    quint8 GetChan() const { return chan; }
    quint8 GetPort() const { return port; }
    quint8 GetRangSta() const { return rangSta; }
    quint8 GetRangEnd() const { return rangEnd; }
    quint8 GetOct() const { return oct; }
    quint8 GetTrans() const { return trans; }

    // All ten values at once; Apply hands them to the bounded setters.
    korvalen::ZoneValues Values() const;
    void Apply(const korvalen::ZoneValues& v);

public slots:
    void StuSelChg(int index);
    void ProgSelChg(int index);
    void MSBSelChg(int index);
    void LSBSelChg(int index);
    void ChanSelChg(int index);
    void PortSelChg(int index);
    void RangStaSelChg(int index);
    void RangEndSelChg(int index);
    void OctSelChg(int index);
    void TransSelChg(int index);

private:
    void RefreshCaption();

    quint8 zoneIndex = 0;
    QPointer<QPushButton> captionButton;
    quint8 status = 0;
    quint8 prog = 0;
    quint8 msb = 0;
    quint8 lsb = 0;
    quint8 chan = 0;
    quint8 port = 0;
    quint8 rangSta = 0;
    quint8 rangEnd = 0;
    quint8 oct = korvalen::kOctaveZero;
    quint8 trans = korvalen::kTransposeZero;
    QPointer<QComboBox> stuBox;
    QPointer<QComboBox> progBox;
    QPointer<QComboBox> msbBox;
    QPointer<QComboBox> lsbBox;
    QPointer<QComboBox> chanBox;
    QPointer<QComboBox> portBox;
    QPointer<QComboBox> rangStaBox;
    QPointer<QComboBox> rangEndBox;
    QPointer<QComboBox> octBox;
    QPointer<QComboBox> transBox;
};
