#include "librarywindow.h"

#include "accessibility.h"
#include "commandhost.h"
#include "comparewindow.h"
#include "downloadcommand.h"
#include "edithistory.h"
#include "filefolders.h"
#include "nametables.h"
#include "presetfile.h"
#include "presetfilecommands.h"
#include "presethistory.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "presetsyx.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>

#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

namespace {

QString presetText(int number) {
    return number < 0 ? QString() : QStringLiteral("P%1").arg(number + 1, 2, 10, QLatin1Char('0'));
}

enum Column { kName, kPreset, kDate, kKind, kColumns };

// The editor's preset number (entry 0 of the preset-wide values).
unsigned char currentPresetNumber() {
    return korvalen::presetGlobals[korvalen::global::kPresetNumber];
}

bool isSyx(const QString& path) {
    return path.endsWith(QLatin1String(".syx"), Qt::CaseInsensitive);
}

// The zone channels file that goes with a library file: none for a ".syx" file, which holds
// its channels itself (and must not take those of the ".sav" file of the same name).
QString channelsFileOf(const QString& path) {
    return isSyx(path) ? QString() : korvalen::zoneChannelsPath(path);
}

// The preset number a library file holds; -1 when it is no preset.
int presetNumberOf(const QString& path) {
    if (isSyx(path)) {
        korvalen::StoredPreset stored;
        return korvalen::readStoredPreset(path, stored) ? stored.preset.presetNumber : -1;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray bytes = file.read(korvalen::kPresetFileSize);
    const auto contents = korvalen::parsePresetFile(
        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    return contents.status == korvalen::PresetFileStatus::Accepted
               ? contents.records[korvalen::presetrecord::kPresetNumber]
               : -1;
}

} // namespace

// --- Reading the folders -----------------------------------------------------------------

QList<LibraryWindow::Entry> LibraryWindow::readFolder(const QString& folder) {
    QList<Entry> found;
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*.sav"), QStringLiteral("*.syx")}, QDir::Files,
                          QDir::Name | QDir::IgnoreCase);
    found.reserve(files.size());
    for (const QFileInfo& info : files) {
        Entry e;
        e.path = info.filePath();
        e.name = info.completeBaseName();
        e.date = info.lastModified();
        e.syx = isSyx(e.path);
        e.presetNumber = presetNumberOf(e.path);
        found.append(e);
    }
    return found;
}

QList<LibraryWindow::Entry> LibraryWindow::readSnapshots(const QString& historyFolder) {
    QList<Entry> found;
    const korvalen::PresetHistory real(historyFolder), simulated(historyFolder, true);
    for (const korvalen::SnapshotInfo& s : real.list() + simulated.list()) {
        Entry e;
        e.path = s.path;
        e.name = QFileInfo(s.path).completeBaseName();
        e.presetNumber = s.presetNumber;
        e.date = s.taken;
        e.snapshot = true;
        e.info = s;
        found.append(e);
    }
    return found;
}

QString LibraryWindow::defaultFolder() {
    return filefolders::defaultLibraryFolder();
}

// --- The window ------------------------------------------------------------------------------

LibraryWindow::LibraryWindow(Library& library)
    : QWidget(library.window(), Qt::Window), library_(library), list_(new QTableWidget(this)),
      filter_(new QLineEdit(this)), saveName_(new QLineEdit(this)), target_(new QComboBox(this)),
      folderLabel_(new QLabel(this)), status_(new QLabel(this)),
      watcher_(new QFileSystemWatcher(this)) {
    setObjectName(QStringLiteral("libraryWindow"));
    setWindowTitle(tr("Preset Library"));

    list_->setObjectName(QStringLiteral("libraryList"));
    list_->setColumnCount(kColumns);
    list_->setHorizontalHeaderLabels({tr("Name"), tr("Preset"), tr("Date"), tr("Kind")});
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::EditKeyPressed); // F2 renames
    // Tab leaves the table for the commands below it; Enter opens, Delete deletes.
    list_->setTabKeyNavigation(false);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter),
                                    QKeySequence(QKeySequence::Delete)}) {
        auto* shortcut = new QShortcut(key, list_, nullptr, nullptr, Qt::WidgetShortcut);
        const bool open = key != QKeySequence(QKeySequence::Delete);
        connect(shortcut, &QShortcut::activated, this, [this, open] {
            if (open)
                openSelected();
            else
                deleteSelected();
        });
    }
    list_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
    filter_->setObjectName(QStringLiteral("libraryFilter"));
    filter_->setPlaceholderText(tr("Filter by name, preset or kind"));
    filter_->setClearButtonEnabled(true);
    saveName_->setObjectName(QStringLiteral("librarySaveName"));
    saveName_->setPlaceholderText(tr("Name for the editor's preset"));
    target_->setObjectName(QStringLiteral("libraryTarget"));
    for (int n = 16; n <= 29; ++n)
        target_->addItem(QString::fromLatin1(korvalen::presetNameFor(n)), n);
    folderLabel_->setObjectName(QStringLiteral("libraryFolder"));
    folderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status_->setObjectName(QStringLiteral("libraryStatus"));
    status_->setWordWrap(true);

    auto button = [this](const QString& text, const char* name, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* top = new QHBoxLayout;
    top->addWidget(folderLabel_, 1);
    top->addWidget(button(tr("Folder..."), "libraryChooseFolder", [this] {
        auto* dialog = new QFileDialog(this, tr("Library Folder"), folder_);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, this, &LibraryWindow::setFolder);
        dialog->open();
    }));
    auto* commands = new QHBoxLayout;
    commands->addWidget(button(tr("Open"), "libraryOpen", [this] { openSelected(); }));
    commands->addWidget(button(tr("Rename"), "libraryRename", [this] {
        const auto rows = list_->selectionModel()->selectedRows();
        if (!rows.isEmpty()) list_->editItem(list_->item(rows.front().row(), kName));
    }));
    commands->addWidget(button(tr("Delete"), "libraryDelete", [this] { deleteSelected(); }));
    commands->addWidget(button(tr("Compare"), "libraryCompare", [this] { compareSelected(); }));
    commands->addStretch();
    commands->addWidget(target_);
    commands->addWidget(button(tr("Download"), "libraryDownload",
                               [this] { downloadSelected(target_->currentData().toInt()); }));
    auto* save = new QHBoxLayout;
    save->addWidget(saveName_, 1);
    save->addWidget(button(tr("Save Editor's Preset"), "librarySave",
                           [this] { saveCurrent(saveName_->text().trimmed()); }));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(filter_);
    layout->addWidget(list_, 1);
    layout->addLayout(commands);
    layout->addLayout(save);
    layout->addWidget(status_);

    connect(filter_, &QLineEdit::textChanged, this, &LibraryWindow::applyFilter);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &LibraryWindow::refresh);
    connect(list_, &QTableWidget::itemDoubleClicked, this, [this] { openSelected(); });
    connect(list_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_ || item->column() != kName) return;
        const int index = list_->item(item->row(), kName)->data(Qt::UserRole).toInt();
        const QString newName = item->text().trimmed();
        if (index < 0 || index >= entries_.size() || newName == entries_[index].name) return;
        select(entries_[index].path);
        if (!renameSelected(newName)) fill(selectedPath());
    });
    connect(&library.downloads(), &DownloadCommand::finished, this, &LibraryWindow::refresh);
    // The download goes to the chosen entry's own preset, when it is one of the user presets
    // the target list offers; the user may choose another one after.
    connect(list_, &QTableWidget::itemSelectionChanged, this, [this] {
        const Entry* e = selectedEntry();
        const int at = e ? target_->findData(e->presetNumber) : -1;
        if (at >= 0) target_->setCurrentIndex(at);
    });

    historyFolder_ = korvalen::PresetHistory::defaultFolder();
    folder_ = filefolders::libraryFolder();
    folderLabel_->setText(QDir::toNativeSeparators(folder_));
    resize(620, 480);
    a11y::describeWindow(this);
}

void LibraryWindow::setFolder(const QString& folder) {
    if (folder.isEmpty()) return;
    folder_ = folder;
    filefolders::setLibraryFolder(folder);
    folderLabel_->setText(QDir::toNativeSeparators(folder_));
    refresh();
}

void LibraryWindow::setHistoryFolder(const QString& folder) {
    historyFolder_ = folder;
    refresh();
}

void LibraryWindow::refresh() {
    // The rows point into the entries by index: what is chosen is read before they change.
    const QString keep = selectedPath();
    entries_ = readFolder(folder_) + readSnapshots(historyFolder_);
    // Folders made since the last look are watched from now on.
    for (const QString& dir :
         {folder_, historyFolder_, korvalen::PresetHistory::simulatedFolder(historyFolder_)})
        if (QFileInfo(dir).isDir() && !watcher_->directories().contains(dir))
            watcher_->addPath(dir);
    fill(keep);
}

QString LibraryWindow::selectedPath() const {
    const Entry* chosen = selectedEntry();
    return chosen ? chosen->path : QString();
}

void LibraryWindow::fill(const QString& keep) {
    filling_ = true;
    list_->setSortingEnabled(false);
    list_->setRowCount(int(entries_.size()));
    for (int i = 0; i < int(entries_.size()); ++i) {
        const Entry& e = entries_[i];
        const QString cells[kColumns] = {
            e.name, presetText(e.presetNumber),
            e.date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            e.snapshot && e.info.source.simulated ? tr("Snapshot (simulated)")
            : e.snapshot                          ? tr("Snapshot")
            : e.presetNumber < 0 ? (e.syx ? tr("Not a preset (.syx)") : tr("Not a preset"))
            : e.syx              ? tr("Library (.syx)")
                                 : tr("Library")};
        for (int c = 0; c < kColumns; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
            if (c == kName && !e.snapshot) flags |= Qt::ItemIsEditable;
            item->setFlags(flags);
            if (c == kName) item->setData(Qt::UserRole, i);
            list_->setItem(i, c, item);
        }
    }
    list_->resizeColumnsToContents();
    list_->horizontalHeader()->setSectionResizeMode(kName, QHeaderView::Stretch);
    filling_ = false;
    applyFilter();
    if (!keep.isEmpty()) select(keep);
}

void LibraryWindow::applyFilter() {
    const QString text = filter_->text().trimmed();
    for (int r = 0; r < list_->rowCount(); ++r) {
        bool match = text.isEmpty();
        for (int c = 0; !match && c < kColumns; ++c)
            match = list_->item(r, c)->text().contains(text, Qt::CaseInsensitive);
        list_->setRowHidden(r, !match);
    }
}

// The entry a row shows; none while the rows are being refilled after the entries changed.
const LibraryWindow::Entry* LibraryWindow::entryAt(int row) const {
    const QTableWidgetItem* item = list_->item(row, kName);
    const int index = item ? item->data(Qt::UserRole).toInt() : -1;
    return index >= 0 && index < entries_.size() ? &entries_[index] : nullptr;
}

QList<LibraryWindow::Entry> LibraryWindow::shownEntries() const {
    QList<Entry> shown;
    for (int r = 0; r < list_->rowCount(); ++r)
        if (const Entry* e = entryAt(r); e && !list_->isRowHidden(r)) shown << *e;
    return shown;
}

bool LibraryWindow::select(const QString& path) {
    for (int r = 0; r < list_->rowCount(); ++r) {
        if (list_->isRowHidden(r)) continue;
        if (const Entry* e = entryAt(r); e && e->path == path) {
            list_->selectRow(r);
            return true;
        }
    }
    return false;
}

QList<const LibraryWindow::Entry*> LibraryWindow::selectedEntries() const {
    QList<const Entry*> chosen;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows())
        if (const Entry* e = entryAt(index.row())) chosen << e;
    return chosen;
}

const LibraryWindow::Entry* LibraryWindow::selectedEntry() const {
    const auto chosen = selectedEntries();
    return chosen.isEmpty() ? nullptr : chosen.front();
}

void LibraryWindow::tell(const QString& text) {
    status_->setText(text);
}

// --- The commands ----------------------------------------------------------------------------

bool LibraryWindow::openSelected() {
    const Entry* e = selectedEntry();
    if (!e) return false;
    // A copy: the list is read again while the load asks or reports, and the entry goes.
    const QString path = e->path;
    return library_.files().openPresetFile(path);
}

bool LibraryWindow::saveCurrent(const QString& name) {
    const QString base =
        name.isEmpty()
            ? QStringLiteral("P%1 %2")
                  .arg(currentPresetNumber() + 1, 2, 10, QLatin1Char('0'))
                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss")))
            : name;
    if (base.contains(QLatin1Char('/')) || base.contains(QLatin1Char('\\'))) {
        tell(tr("\"%1\" cannot be a file name: it holds a slash.").arg(base));
        return false;
    }
    const QString path = QDir(folder_).filePath(
        base.endsWith(QLatin1String(".sav"), Qt::CaseInsensitive) ? base
                                                                  : base + QStringLiteral(".sav"));
    if (QFileInfo::exists(path)) {
        tell(tr("\"%1\" is in the library already: choose another name.")
                 .arg(QFileInfo(path).fileName()));
        return false;
    }
    QString error;
    korvalen::Preset preset{currentPresetValues(), currentPresetNumber()};
    if (!QDir().mkpath(folder_) || !korvalen::writeStoredPreset(path, preset, &error)) {
        tell(tr("The preset could not be saved: %1").arg(error.isEmpty() ? folder_ : error));
        return false;
    }
    library_.host().editHistory().markInStep(EditHistory::Source::File, QFileInfo(path).fileName());
    saveName_->clear();
    tell(tr("Saved as %1.").arg(QFileInfo(path).fileName()));
    refresh();
    select(path);
    return true;
}

bool LibraryWindow::renameSelected(const QString& newName) {
    const Entry* e = selectedEntry();
    if (!e || e->snapshot) return false;
    const QString name = newName.trimmed();
    // A file keeps its kind: NAME.sav or NAME.syx.
    const QString to =
        QDir(folder_).filePath(name + QLatin1Char('.') + QFileInfo(e->path).suffix().toLower());
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || QFileInfo::exists(to)) {
        tell(tr("\"%1\" cannot be renamed to \"%2\": the name is empty, holds a slash or is "
                "taken.")
                 .arg(e->name, name));
        return false;
    }
    const QString from = e->path;
    const QString channelsFrom = channelsFileOf(from);
    const QString channelsTo = channelsFileOf(to);
    const bool hasChannels = !channelsFrom.isEmpty() && QFileInfo::exists(channelsFrom);
    // Channels left under the new name would go with a preset that has none of its own.
    if (!hasChannels && !channelsTo.isEmpty() && QFileInfo::exists(channelsTo) &&
        !QFile::remove(channelsTo)) {
        tell(tr("\"%1\" was not renamed: \"%2\" is in the way and cannot be removed.")
                 .arg(e->name, QFileInfo(channelsTo).fileName()));
        return false;
    }
    // The channels first, so that a preset file never stands under a name without them.
    if (hasChannels && !QFile::rename(channelsFrom, channelsTo)) {
        tell(tr("\"%1\" was not renamed: its zone channels file \"%2\" cannot be moved.")
                 .arg(e->name, QFileInfo(channelsFrom).fileName()));
        return false;
    }
    if (!QFile::rename(from, to)) {
        const bool back = !hasChannels || QFile::rename(channelsTo, channelsFrom);
        tell(back ? tr("\"%1\" could not be renamed.").arg(e->name)
                  : tr("\"%1\" could not be renamed, and its zone channels are now in \"%2\": "
                       "rename that file back to \"%3\".")
                        .arg(e->name, QFileInfo(channelsTo).fileName(),
                             QFileInfo(channelsFrom).fileName()));
        refresh();
        return false;
    }
    tell(tr("Renamed to %1.").arg(QFileInfo(to).fileName()));
    refresh();
    select(to);
    return true;
}

bool LibraryWindow::deleteSelected() {
    const Entry* e = selectedEntry();
    if (!e) return false;
    const QString path = e->path, name = QFileInfo(path).fileName();
    const QString channels = channelsFileOf(path);
    const bool hasChannels = !channels.isEmpty() && QFileInfo::exists(channels);
    // The trash is made in the user's data folder only when that folder exists; without it a
    // trash could end up beside the program's working folder.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    // The channels first: when the preset file cannot follow, they come back.
    QString channelsInTrash;
    const bool channelsGone = !hasChannels || QFile::moveToTrash(channels, &channelsInTrash);
    if (channelsGone && QFile::moveToTrash(path)) {
        tell(tr("%1 was moved to the trash.").arg(name));
        refresh();
        return true;
    }
    if (hasChannels && channelsGone && !QFile::rename(channelsInTrash, channels)) {
        tell(tr("%1 stays, but its zone channels went to the trash and cannot come back: restore "
                "\"%2\" from the trash.")
                 .arg(name, QFileInfo(channels).fileName()));
        refresh();
        return false;
    }
    // No trash here: deleted for good only when the user says so.
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Delete"),
                                tr("%1 cannot be moved to a trash. Delete it for good?").arg(name),
                                QMessageBox::Yes | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("libraryDeleteQuestion"));
    box->setDefaultButton(QMessageBox::Cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, path, name](int answer) {
        if (answer != QMessageBox::Yes) return;
        QString error;
        // A ".syx" file goes alone: the channels beside it are those of its ".sav" namesake.
        QFile syx(path);
        const bool removed = isSyx(path) ? (!syx.exists() || syx.remove())
                                         : korvalen::removeStoredPreset(path, &error);
        if (isSyx(path) && !removed) error = syx.errorString();
        if (removed)
            tell(tr("%1 was deleted.").arg(name));
        else
            tell(tr("%1 was not deleted whole: %2").arg(name, error));
        refresh();
    });
    box->open();
    return false;
}

bool LibraryWindow::downloadSelected(int presetNumber) {
    const Entry* e = selectedEntry();
    if (!e) return false;
    // Asked as Menu > DownLoad asks; the entry is copied, as the list may be read again
    // before the answer comes.
    library_.downloads().askToDownload(
        [this, entry = *e, presetNumber] { downloadAnswered(entry, presetNumber); },
        [this] { tell(tr("Nothing was downloaded.")); });
    return true;
}

bool LibraryWindow::downloadAnswered(const Entry& entry, int presetNumber) {
    const Entry* e = &entry;
    const korvalen::SnapshotSource here = korvalen::SnapshotSource::ofLink();
    if (!e->snapshot || e->info.source.sameController(here)) return downloadEntry(*e, presetNumber);
    // A snapshot of another controller: asked first, without waiting for the answer.
    auto* box = new QMessageBox(
        QMessageBox::Question, tr("Download"),
        tr("%1 was taken from %2, not from %3 connected now. Download it to this controller "
           "anyway?")
            .arg(e->name, e->info.source.describe(), here.describe()),
        QMessageBox::Yes | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("libraryOtherControllerQuestion"));
    box->setDefaultButton(QMessageBox::Cancel);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, entry = *e, presetNumber](int answer) {
        if (answer == QMessageBox::Yes)
            downloadEntry(entry, presetNumber);
        else
            tell(tr("Nothing was downloaded."));
    });
    box->open();
    return false;
}

bool LibraryWindow::downloadEntry(const Entry& entry, int presetNumber) {
    const Entry* e = &entry;
    korvalen::StoredPreset stored;
    QString error;
    if (e->snapshot) {
        // A snapshot as the controller sent it, its zone channels included.
        korvalen::SnapshotContents contents;
        if (!korvalen::readSnapshot(e->info, contents, &error)) {
            tell(error);
            return false;
        }
        stored.preset = contents.preset;
        stored.zoneChannelsKnown =
            contents.fromDump || korvalen::readZoneChannels(e->path).has_value();
    } else if (!korvalen::readStoredPreset(e->path, stored, &error)) {
        tell(error);
        return false;
    }
    const QString shown = presetText(presetNumber);
    const QString name = e->name;
    // Asked without waiting: the download goes out once the edits may be replaced.
    // False when the download could not go out at once (nothing was in the way of it).
    auto sent = std::make_shared<bool>(true);
    library_.host().mayReplaceEdits(
        tr("Download"), tr("Downloading \"%1\" as %2").arg(name, shown),
        [this, stored, presetNumber, name, shown, sent] {
            *sent = sendToController(stored, presetNumber, name, shown);
        },
        [this] { tell(tr("Nothing was downloaded.")); });
    return *sent;
}

bool LibraryWindow::sendToController(const korvalen::StoredPreset& stored, int presetNumber,
                                     const QString& name, const QString& shown) {
    // The file goes to the controller through the editor, as a load and a download.
    const PresetSnapshot before = takePresetSnapshot();
    korvalen::PresetValues values = stored.preset.values;
    if (!stored.zoneChannelsKnown)
        for (std::size_t z = 0; z < values.zones.size(); ++z)
            values.zones[z].chan = before.values.zones[z].chan;
    applyPresetValues(values);
    korvalen::presetGlobals[korvalen::global::kPresetNumber] =
        static_cast<unsigned char>(presetNumber);
    library_.host().editHistory().replaced(before, tr("Load from library"));
    library_.host().refreshTitle();
    tell(tr("\"%1\" goes to %2; the editor tells how the download ends.").arg(name, shown));
    return library_.downloads().download();
}

CompareWindow* LibraryWindow::compareSelected() {
    const auto chosen = selectedEntries();
    if (chosen.isEmpty()) return nullptr;
    CompareWindow::Side sides[2];
    for (qsizetype i = 0; i < std::min<qsizetype>(2, chosen.size()); ++i) {
        korvalen::StoredPreset stored;
        QString error;
        if (!korvalen::readStoredPreset(chosen[i]->path, stored, &error)) {
            tell(error);
            return nullptr;
        }
        sides[i] = {chosen[i]->name, stored.preset.values, stored.zoneChannelsKnown, false};
    }
    CompareWindow& window = library_.compareWindow();
    if (chosen.size() == 1)
        window.compare(CompareWindow::editorSide(), sides[0]);
    else
        window.compare(sides[0], sides[1]);
    window.show();
    window.raise();
    return &window;
}

// --- The menu --------------------------------------------------------------------------------

Library::Library(CommandHost& host, PresetFileCommands& files, DownloadCommand& downloads,
                 QWidget* window)
    : QObject(window), host_(host), files_(files), downloads_(downloads), window_(window) {
    // A preset saved or exported into the library folder is listed at once.
    connect(&files, &PresetFileCommands::saved, this, [this] {
        if (library_) library_->refresh();
    });
}

LibraryWindow& Library::libraryWindow() {
    if (!library_) library_ = new LibraryWindow(*this);
    return *library_;
}

CompareWindow& Library::compareWindow() {
    if (!compare_) compare_ = new CompareWindow(host_, window_);
    return *compare_;
}

bool Library::compareWithController() {
    const int number = currentPresetNumber();
    QPointer<Library> guard(this);
    return downloads_.readControllerPreset(
        number, tr("Compare with Controller"),
        [guard, number](const korvalen::ReadResult& r, const korvalen::Preset& preset) {
            if (!guard) return;
            if (!r.ok()) {
                guard->host_.showFailure(tr("Compare with Controller"),
                                         tr("%1 could not be read from the controller to "
                                            "compare it. Check the connection and try again.")
                                             .arg(presetText(number)));
                return;
            }
            CompareWindow& compare = guard->compareWindow();
            compare.compare(
                CompareWindow::editorSide(),
                {tr("%1 on the controller").arg(presetText(number)), preset.values, true, false});
            compare.show();
            compare.raise();
        });
}

bool Library::compareWithFile(const QString& path) {
    korvalen::StoredPreset stored;
    QString error;
    if (!korvalen::readStoredPreset(path, stored, &error)) {
        host_.showFailure(tr("Compare with File"), error);
        return false;
    }
    CompareWindow& compare = compareWindow();
    compare.compare(CompareWindow::editorSide(),
                    {QFileInfo(path).completeBaseName(), stored.preset.values,
                     stored.zoneChannelsKnown, false});
    compare.show();
    compare.raise();
    return true;
}

void Library::addMenuTo(QMenuBar* bar) {
    QMenu* menu = bar->addMenu(tr("Library"));
    menu->setObjectName(QStringLiteral("menuLibrary"));
    QAction* library = menu->addAction(tr("Preset Library..."), this, [this] {
        LibraryWindow& w = libraryWindow();
        w.refresh();
        w.show();
        w.raise();
        w.activateWindow();
    });
    library->setObjectName(QStringLiteral("actionLibrary"));
    QAction* controller =
        menu->addAction(tr("Compare with Controller"), this, [this] { compareWithController(); });
    controller->setObjectName(QStringLiteral("actionCompareController"));
    QAction* file = menu->addAction(tr("Compare with File..."), this, [this] {
        auto* dialog = new QFileDialog(window_, tr("Compare with File"), libraryWindow().folder(),
                                       tr("Save Files(*.sav)") + QStringLiteral(";;") +
                                           tr("SysEx Files (*.syx)"));
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(dialog, &QFileDialog::fileSelected, this,
                [this](const QString& path) { compareWithFile(path); });
        dialog->open();
    });
    file->setObjectName(QStringLiteral("actionCompareFile"));
}
