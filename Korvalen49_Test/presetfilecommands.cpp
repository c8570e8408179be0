#include "presetfilecommands.h"

#include "commandhost.h"
#include "coretext.h"
#include "edithistory.h"
#include "filefolders.h"
#include "presetfile.h"
#include "presethistory.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "presetsyx.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QSaveFile>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <numeric>

namespace {

QString presetFilter() {
    return PresetFileCommands::tr("Save Files(*.sav)");
}

QString syxFilter() {
    return PresetFileCommands::tr("SysEx Files (*.syx)");
}

QString loadTitle() {
    return PresetFileCommands::tr("Load From File");
}

bool isSyxName(const QString& path) {
    return path.endsWith(QLatin1String(".syx"), Qt::CaseInsensitive);
}

// Why a file's bytes are no preset, in a line under "File Can not be accepted!".
QString refusalReason(korvalen::PresetFileStatus status, qint64 size) {
    if (size == 0) return PresetFileCommands::tr("The file is empty.");
    if (status == korvalen::PresetFileStatus::WrongSignature)
        return PresetFileCommands::tr(
            "It does not begin with \"KORVALEN25\" as a preset file does.");
    return PresetFileCommands::tr("It is too short: %1 of the %2 bytes of a preset file.")
        .arg(size)
        .arg(korvalen::kPresetFileSize);
}

} // namespace

PresetFileCommands::PresetFileCommands(CommandHost& host, QObject* parent)
    : QObject(parent), host_(host) {}

void PresetFileCommands::showLoadReport(const QString& text, const QString& title) {
    host_.tellInBox(QStringLiteral("loadReport"), title, text, false);
}

QString PresetFileCommands::suggestedName(const QString& suffix) const {
    return filefolders::suggestedName(korvalen::presetGlobals[korvalen::global::kPresetNumber],
                                      filefolders::presetNameOf(host_.editHistory().fileName()),
                                      suffix);
}

QString PresetFileCommands::withPresetSuffix(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
    return path + QStringLiteral(".sav");
}

void PresetFileCommands::saveWithDialog(std::function<void(bool)> done) {
    auto* dialog = filefolders::makeDialog(host_.dialogParent(), filefolders::Dialog::SavePreset,
                                           tr("Save to file"), presetFilter(),
                                           suggestedName(QStringLiteral("sav")));
    dialog->setObjectName(QStringLiteral("saveDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without a suffix is saved as NAME.sav, so that Load from file lists it.
    dialog->setDefaultSuffix(QStringLiteral("sav"));
    connect(dialog, &QFileDialog::finished, this, [this, dialog, done = std::move(done)](int r) {
        // A dialog of the desktop may hand the name back as typed.
        const QString path =
            r == QDialog::Accepted ? withPresetSuffix(dialog->selectedFiles().value(0)) : QString();
        const bool saved = !path.isEmpty() && saveToFile(path);
        if (done) done(saved);
    });
    dialog->open();
}

bool PresetFileCommands::saveToFile(const QString& path) {
    // The preset file and its zone channels beside it ("NAME.zones.json"), each replacing the
    // old one only once it is complete: a failed save never leaves a half-written preset, nor
    // a new preset beside old channels.
    QString error;
    const korvalen::Preset preset{currentPresetValues(),
                                  korvalen::presetGlobals[korvalen::global::kPresetNumber]};
    if (korvalen::writeStoredPreset(path, preset, &error)) {
        host_.editHistory().markInStep(EditHistory::Source::File, QFileInfo(path).fileName());
        emit saved(path);
        return true;
    }
    host_.showFailure(tr("Save to file"), tr("The preset could not be saved to \"%1\": %2")
                                              .arg(QDir::toNativeSeparators(path), error));
    return false;
}

void PresetFileCommands::loadWithDialog() {
    // Preset files first; any other file can be chosen too and is judged by its content.
    auto* dialog = filefolders::makeDialog(
        host_.dialogParent(), filefolders::Dialog::LoadPreset, tr("Open to Load"),
        presetFilter() + QStringLiteral(";;") + tr("All files (*)"),
        suggestedName(QStringLiteral("sav")));
    dialog->setObjectName(QStringLiteral("loadDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int r) {
        const QString path = r == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
        if (!path.isEmpty()) openPresetFile(path);
    });
    dialog->open();
}

void PresetFileCommands::exportWithDialog() {
    auto* dialog =
        filefolders::makeDialog(host_.dialogParent(), filefolders::Dialog::ExportSyx, tr("Export"),
                                syxFilter(), suggestedName(QStringLiteral("syx")));
    dialog->setObjectName(QStringLiteral("exportDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("syx"));
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int r) {
        QString path = r == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
        if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".syx");
        if (!path.isEmpty()) exportToFile(path);
    });
    dialog->open();
}

void PresetFileCommands::importWithDialog() {
    auto* dialog =
        filefolders::makeDialog(host_.dialogParent(), filefolders::Dialog::ImportSyx, tr("Import"),
                                syxFilter() + QStringLiteral(";;") + tr("All files (*)"),
                                suggestedName(QStringLiteral("syx")));
    dialog->setObjectName(QStringLiteral("importDialog"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::finished, this, [this, dialog](int r) {
        const QString path = r == QDialog::Accepted ? dialog->selectedFiles().value(0) : QString();
        if (!path.isEmpty()) importFile(path);
    });
    dialog->open();
}

bool PresetFileCommands::exportToFile(const QString& path) {
    const int number = korvalen::presetGlobals[korvalen::global::kPresetNumber];
    const std::vector<std::uint8_t> bytes = korvalen::presetSyx(currentPresetValues(), number);
    if (bytes.empty()) {
        host_.showFailure(tr("Export"),
                          tr("Nothing was exported: preset number P%1 cannot be sent to the "
                             "controller, which takes numbers up to P%2. Upload a preset from "
                             "the controller, or load a preset file, and export again.")
                              .arg(number + 1)
                              .arg(korvalen::kMaxSendablePresetNumber + 1));
        return false;
    }
    // The old file stays until the new one is complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) !=
            qint64(bytes.size()) ||
        !file.commit()) {
        host_.showFailure(tr("Export"),
                          tr("The preset could not be exported to \"%1\": %2")
                              .arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    // The file holds the whole preset, the zones' channels included: the edits are kept.
    host_.editHistory().markInStep(EditHistory::Source::File, QFileInfo(path).fileName());
    host_.showStatus(tr("Exported P%1 to %2.").arg(number + 1).arg(QDir::toNativeSeparators(path)));
    emit saved(path);
    return true;
}

bool PresetFileCommands::openPresetFile(const QString& path) {
    return openFile(path, false, loadTitle());
}

bool PresetFileCommands::importFile(const QString& path) {
    return openFile(path, true, tr("Import"));
}

bool PresetFileCommands::openFile(const QString& path, bool syx, const QString& title) {
    // A file that cannot be loaded replaces nothing: it is refused before anything is asked.
    auto loaded = readPresetFile(path, syx, title);
    if (!loaded) return false;
    host_.mayReplaceEdits(title, tr("Loading \"%1\"").arg(QFileInfo(path).fileName()),
                          [this, path, title, records = *loaded] {
                              // The file wins over a dump still on its way (the upload of
                              // preset 0 at start-up, say).
                              emit aboutToLoad();
                              applyPresetFile(records, path, title);
                          });
    return true;
}

QString PresetFileCommands::droppedPresetFile(const QMimeData* data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return {};
    const QString path = urls.front().toLocalFile();
    if (!QFileInfo(path).isFile()) return {};
    if (path.endsWith(QLatin1String(".sav"), Qt::CaseInsensitive) ||
        path.endsWith(QLatin1String(".syx"), Qt::CaseInsensitive))
        return path;
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

bool PresetFileCommands::loadFromFile(const QString& path) {
    const auto loaded = readPresetFile(path, false, loadTitle());
    if (!loaded) return false;
    applyPresetFile(*loaded, path, loadTitle());
    return true;
}

std::optional<PresetFileCommands::Loaded>
PresetFileCommands::readPresetFile(const QString& path, bool syx, const QString& title) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        host_.showFailure(title, tr("\"%1\" could not be opened: %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
        return std::nullopt;
    }
    if (syx || isSyxName(path)) return readSyxFile(path, file, title);
    // Bytes after the preset number are not part of the preset.
    const QByteArray bytes = file.read(korvalen::kPresetFileSize);
    const auto contents =
        korvalen::parsePresetFile(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size()));
    if (contents.status != korvalen::PresetFileStatus::Accepted) {
        showLoadReport(
            tr("File Can not be accepted!\n%1").arg(refusalReason(contents.status, bytes.size())),
            title);
        return std::nullopt;
    }
    return Loaded{contents.records, std::nullopt};
}

std::optional<PresetFileCommands::Loaded>
PresetFileCommands::readSyxFile(const QString& path, QFile& file, const QString& title) {
    // A whole preset as SysEx is a few kilobytes; a file far larger is no preset of ours and
    // is not read into memory.
    constexpr qint64 kLargestSyx = 64 * 1024;
    if (file.size() > kLargestSyx) {
        showLoadReport(
            tr("File Can not be accepted!\n%1")
                .arg(tr("\"%1\" is too large to be a preset.").arg(QFileInfo(path).fileName())),
            title);
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    const korvalen::SyxPreset syx =
        korvalen::readPresetSyx(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                static_cast<std::size_t>(bytes.size()));
    if (!syx.ok) {
        showLoadReport(tr("File Can not be accepted!\n%1").arg(korvalen::translated(syx.reason)),
                       title);
        return std::nullopt;
    }
    Loaded loaded{korvalen::packPresetRecords(syx.preset.values, syx.preset.presetNumber),
                  std::array<std::uint8_t, 3>{}};
    for (std::size_t z = 0; z < loaded.zoneChannels->size(); ++z)
        (*loaded.zoneChannels)[z] = syx.preset.values.zones[z].chan;
    return loaded;
}

void PresetFileCommands::applyPresetFile(const Loaded& loaded, const QString& path,
                                         const QString& title) {
    const korvalen::PresetRecords& records = loaded.records;
    const PresetSnapshot before = takePresetSnapshot();
    // Each value goes through its setter; the zones' channels, which a preset file does not
    // hold, stay as they are unless the file brought them.
    korvalen::PresetValues given = before.values;
    std::uint8_t presetNumber = 0;
    korvalen::unpackPresetRecords(records, given, presetNumber);
    if (loaded.zoneChannels)
        for (std::size_t z = 0; z < given.zones.size(); ++z)
            given.zones[z].chan = (*loaded.zoneChannels)[z];
    applyPresetValues(given);
    // A value its setter refused left its field as it was: the records written back from the
    // model then differ in that byte.
    const auto taken = korvalen::packPresetRecords(currentPresetValues(), presetNumber);
    const auto refused = std::inner_product(records.begin(), records.end(), taken.begin(), 0,
                                            std::plus<>(), std::not_equal_to<>());
    korvalen::presetGlobals[korvalen::global::kPresetNumber] = presetNumber;
    EditHistory& history = host_.editHistory();
    history.replaced(before, title == loadTitle() ? tr("Load from file") : title);
    history.markInStep(EditHistory::Source::File, QFileInfo(path).fileName());
    if (refused == 0)
        showLoadReport(tr("Load OK!"), title);
    else
        showLoadReport(tr("Loaded, but %n value(s) in the file were out of range and were not "
                          "taken; those settings kept their previous values.",
                          nullptr, refused),
                       title);
    host_.refreshTitle();
}
