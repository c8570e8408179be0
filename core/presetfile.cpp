#include "presetfile.h"

#include <algorithm>

namespace korvalen {

static_assert(presetrecord::kFunctions == presetrecord::kEncoders + 32 * kAssignmentRecordSize);
static_assert(presetrecord::kPads == presetrecord::kFunctions + 16 * kAssignmentRecordSize);
static_assert(presetrecord::kTransport == presetrecord::kPads + 8 * kAssignmentRecordSize);
static_assert(presetrecord::kSlider == presetrecord::kTransport + 5 * kAssignmentRecordSize);
static_assert(presetrecord::kZones == presetrecord::kSlider + kAssignmentRecordSize);
static_assert(presetrecord::kPresetNumber == presetrecord::kZones + 3 * kZoneRecordSize);
static_assert(presetrecord::kPresetNumber + 1 == kPresetRecordsSize);

PresetFileBytes buildPresetFile(const PresetRecords& records) {
    PresetFileBytes file{};
    std::copy(kPresetSignature.begin(), kPresetSignature.end(), file.begin());
    std::copy(records.begin(), records.end(), file.begin() + kPresetSignatureSize);
    return file;
}

PresetFileContents parsePresetFile(const std::uint8_t* data, std::size_t length) {
    PresetFileContents contents;
    if (data == nullptr) length = 0;
    if (length >= kPresetSignatureCompared &&
        !std::equal(kPresetSignature.begin(), kPresetSignature.begin() + kPresetSignatureCompared,
                    data, [](char s, std::uint8_t b) { return std::uint8_t(s) == b; })) {
        contents.status = PresetFileStatus::WrongSignature;
        return contents;
    }
    if (length < kPresetFileSize) {
        contents.status = PresetFileStatus::TooShort;
        return contents;
    }
    std::copy(data + kPresetSignatureSize, data + kPresetFileSize, contents.records.begin());
    contents.status = PresetFileStatus::Accepted;
    return contents;
}

void packAssignment(const AssignmentValues& a, std::uint8_t* out) {
    out[0] = a.type;
    out[1] = a.cc;
    out[2] = a.chan;
    out[3] = a.port;
    out[4] = a.mode;
}

void packZone(const ZoneValues& z, std::uint8_t* out) {
    out[0] = z.status;
    out[1] = z.prog;
    out[2] = z.msb;
    out[3] = z.lsb;
    out[4] = z.port;
    out[5] = z.rangSta;
    out[6] = z.rangEnd;
    out[7] = z.oct;
    out[8] = z.trans;
}

namespace {

void unpackAssignment(const std::uint8_t* in, AssignmentValues& a) {
    a.type = in[0];
    a.cc = in[1];
    a.chan = in[2];
    a.port = in[3];
    a.mode = in[4];
}

void unpackZone(const std::uint8_t* in, ZoneValues& z) {
    z.status = in[0];
    z.prog = in[1];
    z.msb = in[2];
    z.lsb = in[3];
    z.port = in[4];
    z.rangSta = in[5];
    z.rangEnd = in[6];
    z.oct = in[7];
    z.trans = in[8];
}

// Calls f(record offset, assignment) for every control in file order.
template <typename Values, typename F> void forEachAssignment(Values& v, F f) {
    std::size_t at = 0;
    for (auto& a : v.encoders)
        f(at, a), at += kAssignmentRecordSize;
    for (auto& a : v.functions)
        f(at, a), at += kAssignmentRecordSize;
    for (auto& a : v.pads)
        f(at, a), at += kAssignmentRecordSize;
    for (auto& a : v.transport)
        f(at, a), at += kAssignmentRecordSize;
    f(at, v.slider);
}

} // namespace

PresetRecords packPresetRecords(const PresetValues& values, std::uint8_t presetNumber) {
    PresetRecords r{};
    forEachAssignment(values, [&](std::size_t at, const AssignmentValues& a) {
        packAssignment(a, r.data() + at);
    });
    for (std::size_t z = 0; z < 3; ++z)
        packZone(values.zones[z], r.data() + presetrecord::kZones + z * kZoneRecordSize);
    r[presetrecord::kPresetNumber] = presetNumber;
    return r;
}

void unpackPresetRecords(const PresetRecords& records, PresetValues& values,
                         std::uint8_t& presetNumber) {
    forEachAssignment(values, [&](std::size_t at, AssignmentValues& a) {
        unpackAssignment(records.data() + at, a);
    });
    for (std::size_t z = 0; z < 3; ++z)
        unpackZone(records.data() + presetrecord::kZones + z * kZoneRecordSize, values.zones[z]);
    presetNumber = records[presetrecord::kPresetNumber];
}

} // namespace korvalen
