#include "filefolders.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace filefolders {

namespace {

const char* const kLibraryKey = "library/folder";

QSettings settings() {
    return QSettings(QStringLiteral("korvalen25"), QStringLiteral("korvalen25-editor"));
}

QString lastFileKey(Dialog dialog) {
    switch (dialog) {
    case Dialog::SavePreset:
        return QStringLiteral("dialogs/savePreset");
    case Dialog::LoadPreset:
        return QStringLiteral("dialogs/loadPreset");
    case Dialog::ExportSyx:
        return QStringLiteral("dialogs/exportSyx");
    case Dialog::ImportSyx:
        return QStringLiteral("dialogs/importSyx");
    case Dialog::Firmware:
        return QStringLiteral("dialogs/firmware");
    }
    return {};
}

QString presetText(int presetNumber) {
    return QStringLiteral("P%1").arg(presetNumber + 1, 2, 10, QLatin1Char('0'));
}

} // namespace

QString defaultLibraryFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(QStringLiteral("Korvalen25 Presets"));
}

QString libraryFolder() {
    return settings().value(QLatin1String(kLibraryKey), defaultLibraryFolder()).toString();
}

void setLibraryFolder(const QString& folder) {
    settings().setValue(QLatin1String(kLibraryKey), folder);
}

QString lastFile(Dialog dialog) {
    return settings().value(lastFileKey(dialog)).toString();
}

void remember(Dialog dialog, const QString& chosenFile) {
    if (chosenFile.isEmpty()) return;
    settings().setValue(lastFileKey(dialog), QFileInfo(chosenFile).absoluteFilePath());
}

QString startFolder(Dialog dialog) {
    const QString last = lastFile(dialog);
    if (!last.isEmpty()) {
        const QString folder = QFileInfo(last).absolutePath();
        if (QFileInfo(folder).isDir()) return folder;
    }
    if (dialog == Dialog::Firmware) {
        const QString downloads =
            QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
        return !downloads.isEmpty() && QFileInfo(downloads).isDir() ? downloads : QDir::homePath();
    }
    // The library folder is where presets are kept: a dialog that writes one makes it when it
    // is not there yet, so that the file lands in the library.
    const QString library = libraryFolder();
    const bool writes = dialog == Dialog::SavePreset || dialog == Dialog::ExportSyx;
    if (QFileInfo(library).isDir() || (writes && QDir().mkpath(library))) return library;
    return QDir::homePath();
}

QString safeFileName(const QString& name) {
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name)
        safe +=
            c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c) ? QLatin1Char('_') : c;
    // Spaces and dots at the ends: a name of dots only is a folder, a trailing dot or space
    // is dropped by some file systems.
    qsizetype from = 0, to = safe.size();
    while (from < to && (safe[from].isSpace() || safe[from] == QLatin1Char('.')))
        ++from;
    while (to > from && (safe[to - 1].isSpace() || safe[to - 1] == QLatin1Char('.')))
        --to;
    safe = safe.mid(from, to - from);
    // File systems take names of up to 255 bytes; the suffix needs a few of them.
    while (safe.toUtf8().size() > 200)
        safe.chop(1);
    return safe.isEmpty() ? QStringLiteral("preset") : safe;
}

QString presetNameOf(const QString& fileName) {
    QString base = QFileInfo(fileName).completeBaseName();
    // "P20 Lead" and "P20-Lead": the preset number is told apart from the name.
    static const QRegularExpression numbered(QStringLiteral("^P\\d{1,2}(?:[ _-]+|$)"));
    base.remove(numbered);
    return base.trimmed();
}

QString suggestedName(int presetNumber, const QString& name, const QString& suffix) {
    const QString number = presetText(presetNumber);
    const QString trimmed = name.trimmed();
    const QString base = trimmed.isEmpty() ? number : number + QLatin1Char(' ') + trimmed;
    return safeFileName(base) + QLatin1Char('.') + suffix;
}

QFileDialog* makeDialog(QWidget* parent, Dialog dialog, const QString& title, const QString& filter,
                        const QString& suggested) {
    auto* fileDialog = new QFileDialog(parent, title, startFolder(dialog), filter);
    fileDialog->setAttribute(Qt::WA_DeleteOnClose);
    if (!suggested.isEmpty()) fileDialog->selectFile(suggested);
    QObject::connect(fileDialog, &QFileDialog::fileSelected, fileDialog,
                     [dialog](const QString& file) { remember(dialog, file); });
    return fileDialog;
}

} // namespace filefolders
