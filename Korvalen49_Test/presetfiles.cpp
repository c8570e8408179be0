// The window's preset file commands: "Save to file" and "Load from file".
#include "korvalen49_test.h"

#include "edithistory.h"
#include "presetfile.h"
#include "presethistory.h"
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

QString presetFilter() {
    return Korvalen49_Test::tr("Save Files(*.sav)");
}

// Why a file's bytes are no preset, in a line under "File Can not be accepted!".
QString refusalReason(korvalen::PresetFileStatus status, qint64 size) {
    if (size == 0) return Korvalen49_Test::tr("The file is empty.");
    if (status == korvalen::PresetFileStatus::WrongSignature)
        return Korvalen49_Test::tr("It does not begin with \"KORVALEN25\" as a preset file does.");
    return Korvalen49_Test::tr("It is too short: %1 of the %2 bytes of a preset file.")
        .arg(size)
        .arg(korvalen::kPresetFileSize);
}

} // namespace

void Korvalen49_Test::showLoadReport(const QString& text) {
    tellInBox(QStringLiteral("loadReport"), QStringLiteral("Load From File"), text, false);
}

QString Korvalen49_Test::withPresetSuffix(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QStringLiteral(".sav");
}

void Korvalen49_Test::ComSaveFile() {
    saveWithDialog();
}

void Korvalen49_Test::saveWithDialog(std::function<void(bool)> done) {
    auto* dialog = new QFileDialog(this, tr("Save to file"), QStringLiteral("."), presetFilter());
    dialog->setObjectName(QStringLiteral("saveDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without a suffix is saved as NAME.sav, so that Load from file lists it.
    dialog->setDefaultSuffix(QStringLiteral("sav"));
    connect(dialog, &QFileDialog::finished, this, [this, dialog, done = std::move(done)](int r) {
        dialog->deleteLater();
        // A dialog of the desktop may hand the name back as typed.
        const QString path =
            r == QDialog::Accepted ? withPresetSuffix(dialog->selectedFiles().value(0)) : QString();
        const bool saved = !path.isEmpty() && saveToFile(path);
        if (done) done(saved);
    });
    dialog->open();
}

bool Korvalen49_Test::saveToFile(const QString& path) {
    // The preset file and its zone channels beside it ("NAME.zones.json"), each replacing the
    // old one only once it is complete: a failed save never leaves a half-written preset, nor
    // a new preset beside old channels.
    QString error;
    if (korvalen::writeStoredPreset(path, {currentPresetValues(), currentPresetNumber()}, &error)) {
        history->markInStep(EditHistory::Source::File, QFileInfo(path).fileName());
        return true;
    }
    showFailure(tr("Save to file"), tr("The preset could not be saved to \"%1\": %2")
                                        .arg(QDir::toNativeSeparators(path), error));
    return false;
}

void Korvalen49_Test::ComLoadFile() {
    // Preset files first; any other file can be chosen too and is judged by its content.
    auto* dialog = new QFileDialog(this, tr("Open to Load"), QStringLiteral("."),
                                   presetFilter() + QStringLiteral(";;") + tr("All files (*)"));
    dialog->setObjectName(QStringLiteral("loadDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int r) {
        dialog->deleteLater();
        const QString path = r == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
        if (!path.isEmpty()) openPresetFile(path);
    });
    dialog->open();
}

bool Korvalen49_Test::openPresetFile(const QString& path) {
    // A file that cannot be loaded replaces nothing: it is refused before anything is asked.
    auto records = readPresetFile(path);
    if (!records) return false;
    mayReplaceEdits(QStringLiteral("Load From File"),
                    tr("Loading \"%1\"").arg(QFileInfo(path).fileName()),
                    [this, path, records = *records] {
                        // The file wins over a dump still on its way (the upload of preset 0
                        // at start-up, say).
                        abandonUpload(tr("Upload stopped: a preset file is loaded instead."));
                        applyPresetFile(records, path);
                    });
    return true;
}

namespace {

// The one local file of a drag that is a preset by its first bytes, or is named as one (so
// that a damaged ".sav" file is told why it cannot be loaded); otherwise an empty text.
QString droppedPresetFile(const QMimeData* data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    if (!QFileInfo(path).isFile()) return {};
    if (path.endsWith(QLatin1String(".sav"), Qt::CaseInsensitive)) return path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray head = file.read(korvalen::kPresetSignatureCompared);
    const auto contents =
        korvalen::parsePresetFile(reinterpret_cast<const std::uint8_t*>(head.constData()),
                                  static_cast<std::size_t>(head.size()));
    // Six bytes are too few for a preset, but enough to tell a wrong signature.
    return head.size() == static_cast<qsizetype>(korvalen::kPresetSignatureCompared) &&
                   contents.status != korvalen::PresetFileStatus::WrongSignature
               ? path
               : QString();
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
        showLoadReport(QStringLiteral("File Can not be accepted!") + QLatin1Char('\n') +
                       refusalReason(contents.status, bytes.size()));
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
        showLoadReport(QStringLiteral("Load OK!"));
    else
        showLoadReport(tr("Loaded, but %n value(s) in the file were out of range and were not "
                          "taken; those settings kept their previous values.",
                          nullptr, refused));
    RefreshTitle();
}
