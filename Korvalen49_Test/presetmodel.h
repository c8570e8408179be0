// The preset being edited: one `item` per bank copy of every control that sends MIDI and one
// `zone` per keyboard zone. The objects are program-wide and exist before main() runs; they
// need no application object and have no Qt parent.
#pragma once

#include "boxbinding.h" // the lists of the boxes and the hook that hears of the user's edits
#include "item.h"
#include "presetprotocol.h"
#include "zone.h"

#include <array>
#include <functional>

class QWidget;

extern item item_En[4][8];  // encoders E1-E8, [bank][k]
extern item item_Fn[4][4];  // function buttons F1-F4, banked with the encoders
extern item item_Pn[2][4];  // pads P1-P4, banks "A" and "B"
extern item item_Zoudai[5]; // transport: REW, FF, STOP, PLAY, REC
extern item item_S1;        // slider
extern zone zone_Zn[3];     // keyboard zones 1-3

// Bank selection without the selector box: lock every copy of the group, unlock the copies of
// `bank` and show their values in the shared boxes.
void selectEncoderBank(int bank); // item_En and item_Fn, bank 0-3
void selectPadBank(int bank);     // item_Pn, bank 0-1

// The binding steps: every bank copy of a control is bound to the boxes of its panel, and the
// copies of the active bank show their values there. The combo boxes and caption buttons are
// found below `form` by objectName. The window binds each page's boxes when it builds the page
// (the encoders and the zone captions at once, the other pages when first shown), so any order
// of the steps, before or after values arrive, ends in the same boxes.
void bindEncoderBanks(QWidget* form);  // E1-E8, bank by bank
void bindFunctionBanks(QWidget* form); // F1-F4, bank by bank
void bindPadBanks(QWidget* form);      // P1-P4, bank by bank
void setUpZones(QWidget* form);        // zone index and caption button btnZ1-btnZ3
void bindTransport(QWidget* form);     // REW, FF, STOP, PLAY, REC
void bindZones(QWidget* form);         // zones 1-3
void bindSlider(QWidget* form);        // S1

// Every value the preset model holds, as a plain value: the items of every bank, the zones
// (channels included) and the preset-wide block. An upload that does not end restores the one
// taken when it was requested.
struct PresetSnapshot {
    korvalen::PresetValues values;
    std::array<unsigned char, korvalen::kPresetGlobalsSize> globals{};
    bool operator==(const PresetSnapshot&) const = default;
};

// The model's values now, and all of them at once through the bounded setters (a value past
// its bound leaves its field as it was), so that the bound boxes show them.
korvalen::PresetValues currentPresetValues();
void applyPresetValues(const korvalen::PresetValues& values);
PresetSnapshot takePresetSnapshot();
// Puts every value back through the bounded setters, so the bound boxes show them.
void restorePresetSnapshot(const PresetSnapshot& snapshot);

// --- Dumps -----------------------------------------------------------------------------------

// The item a dump record addresses.
item& modelItem(korvalen::ControlRef control);

// Hands the values of a dump to the model's bounded setters, notes in `touched` that the model
// took some and counts in `rejected` every record with a value out of range. An encoder record
// out of range goes to `onUploadError` as well, the end of the dump to `onEnd`.
class ModelDumpSink final : public korvalen::DumpSink {
public:
    ModelDumpSink(bool& touched, int& rejected, std::function<void()> onUploadError,
                  std::function<void()> onEnd)
        : touched_(touched), rejected_(rejected), onUploadError_(std::move(onUploadError)),
          onEnd_(std::move(onEnd)) {}

    void assignment(korvalen::ControlRef control, korvalen::AssignmentField field,
                    std::uint8_t value) override;
    void globalsStored(int, int) override { touched_ = true; }
    void uploadError() override {
        ++rejected_;
        onUploadError_();
    }
    void recordRejected() override { ++rejected_; }
    void endOfDump() override { onEnd_(); }

private:
    bool& touched_;
    int& rejected_;
    std::function<void()> onUploadError_;
    std::function<void()> onEnd_;
};

// The end of a dump: the zones take their values from the globals block through their setters,
// in the order prog, msb, lsb, chan, port, rangSta, rangEnd, oct, trans, and then each zone its
// status.
void applyZonesFromGlobals(const unsigned char* globals);
