// The window's preset file commands: "Save to file" and "Load from file".
#include "korvalen49_test.h"

#include "edithistory.h"
#include "presetfile.h"
#include "presetmodel.h"
#include "presetprotocol.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <numeric>

namespace {

void showLoadBox(const QString& text) {
    QMessageBox::information(nullptr, QStringLiteral("Load From File"), text);
}

} // namespace

void Korvalen49_Test::ComSaveFile() {
    saveWithDialog();
}

bool Korvalen49_Test::saveWithDialog() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save to file"), QStringLiteral("."),
                                                      tr("Save Files(*.sav)"));
    return !path.isEmpty() && saveToFile(path);
}

bool Korvalen49_Test::saveToFile(const QString& path) {
    const auto bytes = korvalen::buildPresetFile(
        korvalen::packPresetRecords(currentPresetValues(), currentPresetNumber()));

    // The new file replaces the old one only once it is complete, so a failed save never
    // leaves a half-written preset behind.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) ==
            static_cast<qint64>(bytes.size()) &&
        file.commit()) {
        history->markInStep(EditHistory::Source::File, QFileInfo(path).fileName());
        return true;
    }

    showFailure(tr("Save to file"), tr("The preset could not be saved to \"%1\": %2\n"
                                       "A file that was there before is unchanged.")
                                        .arg(QDir::toNativeSeparators(path), file.errorString()));
    return false;
}

void Korvalen49_Test::ComLoadFile() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Open to Load"), QStringLiteral("."),
                                                      tr("Save Files(*.sav)"));
    if (path.isEmpty()) return;
    openPresetFile(path);
}

bool Korvalen49_Test::openPresetFile(const QString& path) {
    // A file that cannot be loaded replaces nothing: it is refused before anything is asked.
    const auto records = readPresetFile(path);
    if (!records) return false;
    if (!mayReplaceEdits(QStringLiteral("Load From File"),
                         tr("Loading \"%1\"").arg(QFileInfo(path).fileName())))
        return false;
    // The file wins over a dump still on its way (the upload of preset 0 at start-up, say).
    abandonUpload(tr("Upload stopped: a preset file is loaded instead."));
    applyPresetFile(*records, path);
    return true;
}

namespace {

// The one local ".sav" file of a drag, or an empty text.
QString droppedPresetFile(const QMimeData* data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    return path.endsWith(QLatin1String(".sav"), Qt::CaseInsensitive) ? path : QString();
}

} // namespace

void Korvalen49_Test::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedPresetFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void Korvalen49_Test::dropEvent(QDropEvent* event) {
    const QString path = droppedPresetFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    // The boxes of the load come after the drop has ended, not inside it.
    QTimer::singleShot(0, this, [this, path] { openPresetFile(path); });
}

bool Korvalen49_Test::loadFromFile(const QString& path) {
    const auto records = readPresetFile(path);
    if (!records) return false;
    applyPresetFile(*records, path);
    return true;
}

std::optional<korvalen::PresetRecords> Korvalen49_Test::readPresetFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showFailure(QStringLiteral("Load From File"),
                    tr("\"%1\" could not be opened: %2")
                        .arg(QDir::toNativeSeparators(path), file.errorString()));
        return std::nullopt;
    }
    // Bytes after the preset number are not part of the preset.
    const QByteArray bytes = file.read(korvalen::kPresetFileSize);
    const auto contents =
        korvalen::parsePresetFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size()));
    if (contents.status != korvalen::PresetFileStatus::Accepted) {
        showLoadBox(QStringLiteral("File Can not be accepted!"));
        return std::nullopt;
    }
    return contents.records;
}

void Korvalen49_Test::applyPresetFile(const korvalen::PresetRecords& records, const QString& path) {
    const PresetSnapshot before = takePresetSnapshot();
    // Each value goes through its setter; the zones' channels, which the file does not hold,
    // stay as they are.
    korvalen::PresetValues given = before.values;
    std::uint8_t presetNumber = 0;
    korvalen::unpackPresetRecords(records, given, presetNumber);
    applyPresetValues(given);
    // A value its setter refused left its field as it was: the records written back from the
    // model then differ in that byte.
    const auto taken = korvalen::packPresetRecords(currentPresetValues(), presetNumber);
    const auto refused = std::inner_product(records.begin(), records.end(), taken.begin(), 0,
                                            std::plus<>(), std::not_equal_to<>());
    korvalen::presetGlobals[korvalen::global::kPresetNumber] = presetNumber;
    history->replaced(before, tr("Load from file"));
    history->markInStep(EditHistory::Source::File, QFileInfo(path).fileName());
    if (refused == 0)
        showLoadBox(QStringLiteral("Load OK!"));
    else
        showLoadBox(tr("Loaded, but %n value(s) in the file were out of range and were not "
                       "taken; those settings kept their previous values.",
                       nullptr, refused));
    RefreshTitle();
}
