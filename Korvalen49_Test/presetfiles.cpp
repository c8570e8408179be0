// The window's preset file commands: "Save to file" and "Load from file".
#include "korvalen49_test.h"

#include "presetfile.h"
#include "presetmodel.h"
#include "presetprotocol.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

namespace {

// Runs `step` over every model object in file order with the offset of its record.
template <typename ItemStep, typename ZoneStep>
void forEachRecord(ItemStep itemStep, ZoneStep zoneStep) {
    std::size_t offset = 0;
    auto onItem = [&](item& control) {
        itemStep(control, offset);
        offset += korvalen::kAssignmentRecordSize;
    };
    for (auto& bank : item_En)
        for (auto& control : bank)
            onItem(control);
    for (auto& bank : item_Fn)
        for (auto& control : bank)
            onItem(control);
    for (auto& bank : item_Pn)
        for (auto& control : bank)
            onItem(control);
    for (auto& control : item_Zoudai)
        onItem(control);
    onItem(item_S1);
    for (auto& z : zone_Zn) {
        zoneStep(z, offset);
        offset += korvalen::kZoneRecordSize;
    }
}

void showLoadBox(const QString& text) {
    QMessageBox::information(nullptr, QStringLiteral("Load From File"), text);
}

} // namespace

void Korvalen49_Test::ComSaveFile() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save to file"), QStringLiteral("."),
                                                      tr("Save Files(*.sav)"));
    if (path.isEmpty()) return;
    saveToFile(path);
}

bool Korvalen49_Test::saveToFile(const QString& path) {
    korvalen::PresetRecords records{};
    forEachRecord([&](item& control, std::size_t at) { control.PackTo(&records[at]); },
                  [&](zone& z, std::size_t at) { z.PackTo(&records[at]); });
    records[korvalen::presetrecord::kPresetNumber] = currentPresetNumber();
    const auto bytes = korvalen::buildPresetFile(records);

    // The new file replaces the old one only once it is complete, so a failed save never
    // leaves a half-written preset behind.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) ==
            static_cast<qint64>(bytes.size()) &&
        file.commit())
        return true;

    QMessageBox::warning(nullptr, tr("Save to file"),
                         tr("The preset could not be saved to \"%1\": %2\n"
                            "A file that was there before is unchanged.")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

void Korvalen49_Test::ComLoadFile() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Open to Load"), QStringLiteral("."),
                                                      tr("Save Files(*.sav)"));
    if (path.isEmpty()) return;
    loadFromFile(path);
}

bool Korvalen49_Test::loadFromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(nullptr, QStringLiteral("Load From File"),
                             tr("\"%1\" could not be opened: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    // Bytes after the preset number are not part of the preset.
    const QByteArray bytes = file.read(korvalen::kPresetFileSize);
    const auto contents =
        korvalen::parsePresetFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size()));
    if (contents.status != korvalen::PresetFileStatus::Accepted) {
        showLoadBox(QStringLiteral("File Can not be accepted!"));
        return false;
    }

    // Each record byte goes through its setter; a byte the setter refused left its field as
    // it was, and the record written back from the model then differs in that byte.
    const auto& records = contents.records;
    int refused = 0;
    auto countRefused = [&](const unsigned char* given, const unsigned char* taken, int size) {
        for (int i = 0; i < size; ++i)
            refused += given[i] != taken[i];
    };
    forEachRecord(
        [&](item& control, std::size_t at) {
            unsigned char taken[item::kRecordSize];
            control.UnpackFrom(&records[at]);
            countRefused(&records[at], taken, control.PackTo(taken));
        },
        [&](zone& z, std::size_t at) {
            unsigned char taken[zone::kRecordSize];
            z.UnpackFrom(&records[at]);
            countRefused(&records[at], taken, z.PackTo(taken));
        });
    korvalen::presetGlobals[korvalen::global::kPresetNumber] =
        records[korvalen::presetrecord::kPresetNumber];
    if (refused == 0)
        showLoadBox(QStringLiteral("Load OK!"));
    else
        showLoadBox(tr("Loaded, but %n value(s) in the file were out of range and were not "
                       "taken; those settings kept their previous values.",
                       nullptr, refused));
    RefreshTitle();
    return true;
}
