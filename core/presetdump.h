// A dump from the controller taken into a preset as the editor's model takes it: each value
// through its bound, the zones from the dump's globals at its end record. Used by the CLI's
// transfers, by the read-back of a download and by the reader of .syx files, none of which
// touches the editor's model.
#pragma once

#include "presetprotocol.h"
#include "text.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace korvalen {

// A preset as the editor's model holds it, with the preset number of entry 0 of the globals.
struct Preset {
    PresetValues values;
    std::uint8_t presetNumber = 0;
    bool operator==(const Preset&) const = default;
};

class PresetDumpSink final : public DumpSink {
public:
    explicit PresetDumpSink(Preset& preset) : preset_(preset) {}
    void assignment(ControlRef control, AssignmentField field, std::uint8_t value) override;
    void uploadError() override { ++badRecords_; }
    void endOfDump() override;
    void globalsStored(int first, int count) override;
    void record(const std::uint8_t* data, std::size_t length) override;

    unsigned char* globals() { return globals_.data(); }
    bool ended() const { return ended_; }
    int badRecords() const { return badRecords_; }
    // The records of the dump as they came, in order, the end record included.
    const std::vector<std::uint8_t>& dump() const { return dump_; }
    std::vector<std::uint8_t> takeDump() { return std::move(dump_); }
    // What a complete dump has and this one lacked, as "F2, BANK 1" or "the zone values";
    // empty when every control got a value and every global the preset file needs came.
    std::string missing() const;
    Text missingText() const; // the same, for translation

private:
    Preset& preset_;
    std::array<unsigned char, kPresetGlobalsSize> globals_{};
    std::array<bool, kPresetGlobalsSize> globalsSeen_{};
    std::vector<const AssignmentValues*> touched_; // controls that took at least one value
    std::vector<std::uint8_t> dump_;
    bool ended_ = false;
    int badRecords_ = 0;
};

} // namespace korvalen
