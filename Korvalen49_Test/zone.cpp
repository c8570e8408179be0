#include "zone.h"

#include "boxbinding.h"
#include "nametables.h"

namespace {

const QStringList& statusEntries() {
    static const QStringList list{QStringLiteral("OFF"), QStringLiteral("ON")};
    return list;
}

const QStringList& programEntries() {
    static const QStringList list = korvalen::buildList(korvalen::kMaxZoneByte + 1, [](int p) {
        return QString::fromLatin1(korvalen::programListEntry(p).c_str());
    });
    return list;
}

// MSB, LSB and the key range: the plain numbers 0-127.
const QStringList& numberEntries() {
    static const QStringList list =
        korvalen::buildList(korvalen::kMaxZoneByte + 1, [](int n) { return QString::number(n); });
    return list;
}

const QStringList& octaveEntries() {
    static const QStringList list = korvalen::buildList(
        korvalen::kMaxOctave + 1, [](int v) { return zone::OffsetText(v, korvalen::kOctaveZero); });
    return list;
}

const QStringList& transposeEntries() {
    static const QStringList list = korvalen::buildList(korvalen::kMaxTranspose + 1, [](int v) {
        return zone::OffsetText(v, korvalen::kTransposeZero);
    });
    return list;
}

// Stores a box's index in a field. Index -1 (an emptied box) is no value. A value that differs
// from the one held is the user's edit.
bool take(quint8& field, int index) {
    if (index < 0) return false;
    const auto value = static_cast<quint8>(index);
    if (field != value) {
        field = value;
        korvalen::userEdited();
    }
    return true;
}

// Stores a setter value within its bound and shows it in the box, if one is bound.
bool accept(quint8& field, quint8 v, quint8 bound, QComboBox* box) {
    if (v > bound) return false;
    field = v;
    if (box) box->setCurrentIndex(v);
    return true;
}

} // namespace

zone::zone() : QObject(nullptr) {}

QString zone::OffsetText(int value, int midpoint) {
    if (value < midpoint) return QStringLiteral("- %1").arg(midpoint - value);
    return QString::number(value - midpoint);
}

void zone::RefreshCaption() {
    if (!captionButton) return;
    // korvalen::zoneCaption() in the user's language; the program's name is the device's own.
    if (status == 1)
        captionButton->setText(
            tr("Zone%1:%2")
                .arg(zoneIndex + 1)
                .arg(QString::fromLatin1(korvalen::nameTable[korvalen::kProgramBase + prog])));
    else
        captionButton->setText(tr("Zone%1: Closed").arg(zoneIndex + 1));
}

void zone::SetCaptionButton(QPushButton* button) {
    captionButton = button;
    RefreshCaption();
}

// --- Binding ---------------------------------------------------------------------------------

void zone::BindStuBox(QComboBox* box) {
    if (!box) return;
    korvalen::bindBox(stuBox, box, statusEntries(), true, status, this, &zone::StuSelChg);
    RefreshCaption();
}

void zone::BindProgBox(QComboBox* box) {
    if (!box) return;
    korvalen::bindBox(progBox, box, programEntries(), true, prog, this, &zone::ProgSelChg);
    RefreshCaption();
}

void zone::BindMSBBox(QComboBox* box) {
    if (box) korvalen::bindBox(msbBox, box, numberEntries(), true, msb, this, &zone::MSBSelChg);
}

void zone::BindLSBBox(QComboBox* box) {
    if (box) korvalen::bindBox(lsbBox, box, numberEntries(), true, lsb, this, &zone::LSBSelChg);
}

void zone::BindChanBox(QComboBox* box) {
    if (box)
        korvalen::bindBox(chanBox, box, korvalen::channelEntries(), true, chan, this,
                          &zone::ChanSelChg);
}

void zone::BindPortBox(QComboBox* box) {
    if (box)
        korvalen::bindBox(portBox, box, korvalen::portEntries(), true, port, this,
                          &zone::PortSelChg);
}

void zone::BindRangStaBox(QComboBox* box) {
    if (box)
        korvalen::bindBox(rangStaBox, box, numberEntries(), true, rangSta, this,
                          &zone::RangStaSelChg);
}

void zone::BindRangEndBox(QComboBox* box) {
    if (box)
        korvalen::bindBox(rangEndBox, box, numberEntries(), true, rangEnd, this,
                          &zone::RangEndSelChg);
}

void zone::BindOctBox(QComboBox* box) {
    if (box) korvalen::bindBox(octBox, box, octaveEntries(), true, oct, this, &zone::OctSelChg);
}

void zone::BindTransBox(QComboBox* box) {
    if (box)
        korvalen::bindBox(transBox, box, transposeEntries(), true, trans, this, &zone::TransSelChg);
}

// --- Slots -----------------------------------------------------------------------------------

void zone::StuSelChg(int index) {
    if (take(status, index)) RefreshCaption();
}

void zone::ProgSelChg(int index) {
    if (take(prog, index)) RefreshCaption();
}

void zone::MSBSelChg(int index) {
    take(msb, index);
}
void zone::LSBSelChg(int index) {
    take(lsb, index);
}
void zone::ChanSelChg(int index) {
    take(chan, index);
}
void zone::PortSelChg(int index) {
    take(port, index);
}
void zone::RangStaSelChg(int index) {
    take(rangSta, index);
}
void zone::RangEndSelChg(int index) {
    take(rangEnd, index);
}
void zone::OctSelChg(int index) {
    take(oct, index);
}
void zone::TransSelChg(int index) {
    take(trans, index);
}

// --- Setters ---------------------------------------------------------------------------------

void zone::SetStatus(quint8 v) {
    if (accept(status, v, korvalen::kMaxZoneStatus, stuBox)) RefreshCaption();
}

void zone::SetProg(quint8 v) {
    if (accept(prog, v, korvalen::kMaxZoneByte, progBox)) RefreshCaption();
}

void zone::SetMSB(quint8 v) {
    accept(msb, v, korvalen::kMaxZoneByte, msbBox);
}
void zone::SetLSB(quint8 v) {
    accept(lsb, v, korvalen::kMaxZoneByte, lsbBox);
}
void zone::SetChan(quint8 v) {
    accept(chan, v, korvalen::kMaxChannel, chanBox);
}
void zone::SetPort(quint8 v) {
    accept(port, v, korvalen::kMaxPort, portBox);
}
void zone::SetRangSta(quint8 v) {
    accept(rangSta, v, korvalen::kMaxZoneByte, rangStaBox);
}
void zone::SetRangEnd(quint8 v) {
    accept(rangEnd, v, korvalen::kMaxZoneByte, rangEndBox);
}
void zone::SetOct(quint8 v) {
    accept(oct, v, korvalen::kMaxOctave, octBox);
}
void zone::SetTrans(quint8 v) {
    accept(trans, v, korvalen::kMaxTranspose, transBox);
}

// --- All values --------------------------------------------------------------------------

korvalen::ZoneValues zone::Values() const {
    return {status, prog, msb, lsb, chan, port, rangSta, rangEnd, oct, trans};
}

void zone::Apply(const korvalen::ZoneValues& v) {
    SetStatus(v.status);
    SetProg(v.prog);
    SetMSB(v.msb);
    SetLSB(v.lsb);
    SetChan(v.chan);
    SetPort(v.port);
    SetRangSta(v.rangSta);
    SetRangEnd(v.rangEnd);
    SetOct(v.oct);
    SetTrans(v.trans);
}
