#include "presetmodel.h"

#include <QComboBox>
#include <QHash>
#include <QPushButton>
#include <QWidget>
#include <QtDebug>

item item_En[4][8];
item item_Fn[4][4];
item item_Pn[2][4];
item item_Zoudai[5];
item item_S1;
zone zone_Zn[3];

// --- Banks -----------------------------------------------------------------------------------

namespace {

void showButton(item& button) {
    button.ShowType(); // first, so the assignment list fits the type before the number is shown
    button.ShowCC();
    button.ShowChan();
    button.ShowPort();
    button.ShowMode();
}

} // namespace

void selectEncoderBank(int bank) {
    for (auto& copies : item_En)
        for (item& encoder : copies)
            encoder.SetLocked(true);
    for (auto& copies : item_Fn)
        for (item& button : copies)
            button.SetLocked(true);
    for (item& encoder : item_En[bank]) {
        encoder.SetLocked(false);
        encoder.ShowCC();
        encoder.ShowChan();
        encoder.ShowPort();
    }
    for (item& button : item_Fn[bank]) {
        button.SetLocked(false);
        showButton(button);
    }
}

void selectPadBank(int bank) {
    for (auto& copies : item_Pn)
        for (item& pad : copies)
            pad.SetLocked(true);
    for (item& pad : item_Pn[bank]) {
        pad.SetLocked(false);
        showButton(pad);
    }
}

// --- Binding ---------------------------------------------------------------------------------

namespace {

// The combo boxes of the form by objectName, gathered in one walk of the tree: looking each of
// the 280 boxes up from the top would walk the whole form every time.
class FormBoxes {
public:
    explicit FormBoxes(QWidget* form) {
        for (QComboBox* found : form->findChildren<QComboBox*>())
            if (!boxes_.contains(found->objectName())) boxes_.insert(found->objectName(), found);
    }

    QComboBox* operator()(const QString& name) const {
        QComboBox* found = boxes_.value(name);
        if (!found) qWarning("Preset model: no combo box named %s in the form", qPrintable(name));
        return found;
    }

private:
    QHash<QString, QComboBox*> boxes_;
};

// Encoders and the slider: number, port, channel.
void bindEncoder(item& control, const FormBoxes& box, const QString& prefix) {
    control.BindCCBox(box(prefix + QLatin1String("_ccBox")));
    control.BindPortBox(box(prefix + QLatin1String("_PortBox")));
    control.BindChanBox(box(prefix + QLatin1String("_ChBox")));
}

// Buttons, pads and transport buttons: number, port, channel, type, mode.
void bindButton(item& control, const FormBoxes& box, const QString& prefix) {
    bindEncoder(control, box, prefix);
    control.BindTypeBox(box(prefix + QLatin1String("_typeBox")));
    control.BindModeBox(box(prefix + QLatin1String("_modeBox")));
}

QString prefix(char letter, int number) {
    return QStringLiteral("%1%2").arg(letter).arg(number);
}

} // namespace

void bindEncoderBanks(QWidget* form) {
    const FormBoxes box(form);
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 8; ++k)
            bindEncoder(item_En[b][k], box, prefix('E', k + 1));
}

void bindFunctionBanks(QWidget* form) {
    const FormBoxes box(form);
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 4; ++k)
            bindButton(item_Fn[b][k], box, prefix('F', k + 1));
}

void bindPadBanks(QWidget* form) {
    const FormBoxes box(form);
    for (int b = 0; b < 2; ++b)
        for (int k = 0; k < 4; ++k)
            bindButton(item_Pn[b][k], box, prefix('P', k + 1));
}

void setUpZones(QWidget* form) {
    for (int z = 0; z < 3; ++z) {
        const QString name = QStringLiteral("btnZ%1").arg(z + 1);
        auto* button = form->findChild<QPushButton*>(name);
        if (!button) qWarning("Preset model: no button named %s in the form", qPrintable(name));
        zone_Zn[z].SetZoneIndex(z);
        zone_Zn[z].SetCaptionButton(button);
    }
}

void bindTransport(QWidget* form) {
    const FormBoxes box(form);
    for (int k = 0; k < 5; ++k)
        bindButton(item_Zoudai[k], box, prefix('Z', k + 1));
}

void bindZones(QWidget* form) {
    const FormBoxes box(form);
    for (int z = 0; z < 3; ++z) {
        zone& zn = zone_Zn[z];
        const QString name = QStringLiteral("zone%1").arg(z + 1);
        if (z > 0) zn.BindStuBox(box(name + QLatin1String("Sta"))); // zone 1 has none
        zn.BindProgBox(box(name + QLatin1String("Prog")));
        zn.BindMSBBox(box(name + QLatin1String("MSB")));
        zn.BindLSBBox(box(name + QLatin1String("LSB")));
        zn.BindChanBox(box(name + QLatin1String("Chan")));
        zn.BindPortBox(box(name + QLatin1String("Port")));
        zn.BindRangStaBox(box(name + QLatin1String("RangSta")));
        zn.BindRangEndBox(box(name + QLatin1String("RangEnd")));
        zn.BindOctBox(box(name + QLatin1String("Oct")));
        zn.BindTransBox(box(name + QLatin1String("Trans")));
    }
}

void bindSlider(QWidget* form) {
    bindEncoder(item_S1, FormBoxes(form), QStringLiteral("S1"));
}

// --- Snapshots -------------------------------------------------------------------------------

namespace {

// Visits every item with its place in PresetValues.
template <typename Values, typename Step> void forEachItem(Values& values, Step step) {
    step(item_S1, values.slider);
    for (int b = 0; b < 4; ++b) {
        for (int k = 0; k < 8; ++k)
            step(item_En[b][k], values.encoders[static_cast<std::size_t>(8 * b + k)]);
        for (int k = 0; k < 4; ++k)
            step(item_Fn[b][k], values.functions[static_cast<std::size_t>(4 * b + k)]);
    }
    for (std::size_t k = 0; k < 5; ++k)
        step(item_Zoudai[k], values.transport[k]);
    for (int b = 0; b < 2; ++b)
        for (int k = 0; k < 4; ++k)
            step(item_Pn[b][k], values.pads[static_cast<std::size_t>(4 * b + k)]);
}

} // namespace

korvalen::PresetValues currentPresetValues() {
    korvalen::PresetValues values;
    forEachItem(values,
                [](const item& control, korvalen::AssignmentValues& v) { v = control.Values(); });
    for (std::size_t z = 0; z < 3; ++z)
        values.zones[z] = zone_Zn[z].Values();
    return values;
}

void applyPresetValues(const korvalen::PresetValues& values) {
    forEachItem(values,
                [](item& control, const korvalen::AssignmentValues& v) { control.Apply(v); });
    for (std::size_t z = 0; z < 3; ++z)
        zone_Zn[z].Apply(values.zones[z]);
}

PresetSnapshot takePresetSnapshot() {
    PresetSnapshot s;
    s.values = currentPresetValues();
    std::copy(std::begin(korvalen::presetGlobals), std::end(korvalen::presetGlobals),
              s.globals.begin());
    return s;
}

void restorePresetSnapshot(const PresetSnapshot& snapshot) {
    applyPresetValues(snapshot.values);
    std::copy(snapshot.globals.begin(), snapshot.globals.end(),
              std::begin(korvalen::presetGlobals));
}

// --- Dumps -----------------------------------------------------------------------------------

item& modelItem(korvalen::ControlRef ref) {
    using korvalen::ControlGroup;
    switch (ref.group) {
    case ControlGroup::Encoder:
        return item_En[ref.bank][ref.index];
    case ControlGroup::Function:
        return item_Fn[ref.bank][ref.index];
    case ControlGroup::Transport:
        return item_Zoudai[ref.index];
    case ControlGroup::Pad:
        return item_Pn[ref.bank][ref.index];
    case ControlGroup::Slider:
        break;
    }
    return item_S1;
}

void ModelDumpSink::assignment(korvalen::ControlRef control, korvalen::AssignmentField field,
                               std::uint8_t value) {
    touched_ = true;
    item& target = modelItem(control);
    switch (field) {
    case korvalen::AssignmentField::Type:
        target.SetType(value);
        break;
    case korvalen::AssignmentField::CC:
        target.SetCC(value);
        break;
    case korvalen::AssignmentField::Chan:
        target.SetChan(value);
        break;
    case korvalen::AssignmentField::Port:
        target.SetPort(value);
        break;
    case korvalen::AssignmentField::Mode:
        target.SetMode(value);
        break;
    }
}

void applyZonesFromGlobals(const unsigned char* globals) {
    for (int z = 0; z < 3; ++z) {
        const korvalen::ZoneValues values = korvalen::zoneFromGlobals(globals, z);
        zone& target = zone_Zn[z];
        target.SetProg(values.prog);
        target.SetMSB(values.msb);
        target.SetLSB(values.lsb);
        target.SetChan(values.chan);
        target.SetPort(values.port);
        target.SetRangSta(values.rangSta);
        target.SetRangEnd(values.rangEnd);
        target.SetOct(values.oct);
        target.SetTrans(values.trans);
    }
    for (int z = 0; z < 3; ++z)
        zone_Zn[z].SetStatus(korvalen::zoneFromGlobals(globals, z).status);
}
