// The ".sav" loader on any bytes: a file is accepted only with the six signature bytes and at
// least 348 bytes, its records are the 338 bytes after the signature, and the records read
// into a preset and written out again are the same bytes.
#include "fuzzinput.h"

#include "presetfile.h"

#include <algorithm>

using namespace korvalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const PresetFileContents contents = parsePresetFile(data, size);

    const bool signature =
        size >= kPresetSignatureCompared &&
        std::equal(kPresetSignature.begin(), kPresetSignature.begin() + kPresetSignatureCompared,
                   data, [](char s, std::uint8_t b) { return std::uint8_t(s) == b; });
    if (contents.status != PresetFileStatus::Accepted) {
        FUZZ_CHECK(std::all_of(contents.records.begin(), contents.records.end(),
                               [](std::uint8_t b) { return b == 0; }));
        // Too short wins only when there are not even six bytes to compare.
        FUZZ_CHECK(contents.status == (size >= kPresetSignatureCompared && !signature
                                           ? PresetFileStatus::WrongSignature
                                           : PresetFileStatus::TooShort));
        FUZZ_CHECK(size < kPresetFileSize || !signature);
        return 0;
    }
    FUZZ_CHECK(signature && size >= kPresetFileSize);
    FUZZ_CHECK(
        std::equal(contents.records.begin(), contents.records.end(), data + kPresetSignatureSize));

    PresetValues values;
    std::uint8_t presetNumber = 0;
    unpackPresetRecords(contents.records, values, presetNumber);
    FUZZ_CHECK(presetNumber == data[kPresetSignatureSize + presetrecord::kPresetNumber]);
    FUZZ_CHECK(packPresetRecords(values, presetNumber) == contents.records);

    // Written again it is the file with its full signature, whatever bytes 6-9 held.
    const PresetFileBytes file = buildPresetFile(contents.records);
    FUZZ_CHECK(std::equal(kPresetSignature.begin(), kPresetSignature.end(), file.begin(),
                          [](char s, std::uint8_t b) { return std::uint8_t(s) == b; }));
    FUZZ_CHECK(
        std::equal(file.begin() + kPresetSignatureSize, file.end(), data + kPresetSignatureSize));
    const PresetFileContents again = parsePresetFile(file.data(), file.size());
    FUZZ_CHECK(again.status == PresetFileStatus::Accepted && again.records == contents.records);
    return 0;
}
