#include "monitorwindow.h"

#include "accessibility.h"
#include "diagnostics.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "traffictap.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using korvalen::MessageGroup;
using korvalen::TrafficLine;

// --- The table --------------------------------------------------------------------------------

TrafficTableModel::TrafficTableModel(int maxLines, QObject* parent)
    : QAbstractTableModel(parent), maxLines_(maxLines) {}

int TrafficTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(lines_.size());
}

int TrafficTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrafficTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(lines_.size())) return {};
    const TrafficLine& kept = lines_[std::size_t(index.row())];
    if (role == kGroupRole) return kept.note ? -1 : int(korvalen::groupOf(kept.kind));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const TrafficLine& line = this->line(index.row());
    switch (index.column()) {
    case Time:
        return korvalen::trafficTime(line.time);
    case Direction:
        return line.note ? QString() : line.outgoing ? tr("out") : tr("in");
    case Port:
        return line.port;
    case Message:
        return line.decoded;
    default:
        // A long message's bytes run far past any column; the view would lay out every one of
        // them at each repaint only to cut them off. The list shows the first ones, the tool
        // tip (and the saved text) all of them.
        if (role == Qt::DisplayRole && line.bytes.size() > kShownByteChars)
            return line.bytes.left(kShownByteChars) + QStringLiteral(" ...");
        return line.bytes;
    }
}

QVariant TrafficTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case Time:
        return tr("Time");
    case Direction:
        return tr("Dir.");
    case Port:
        return tr("Port");
    case Message:
        return tr("Message");
    default:
        return tr("Bytes");
    }
}

const TrafficLine& TrafficTableModel::line(int row) const {
    TrafficLine& line = lines_[std::size_t(row)];
    korvalen::fillIn(line);
    return line;
}

void TrafficTableModel::append(std::vector<TrafficLine>&& lines) {
    if (lines.empty()) return;
    // Of a batch larger than the table, only its end is kept.
    const std::size_t keep = std::min(lines.size(), std::size_t(maxLines_));
    const std::size_t over = lines_.size() + keep > std::size_t(maxLines_)
                                 ? lines_.size() + keep - std::size_t(maxLines_)
                                 : 0;
    if (over > 0) {
        beginRemoveRows({}, 0, int(over) - 1);
        lines_.erase(lines_.begin(), lines_.begin() + std::ptrdiff_t(over));
        endRemoveRows();
    }
    beginInsertRows({}, int(lines_.size()), int(lines_.size() + keep) - 1);
    lines_.insert(lines_.end(), std::make_move_iterator(lines.end() - std::ptrdiff_t(keep)),
                  std::make_move_iterator(lines.end()));
    endInsertRows();
}

void TrafficTableModel::clear() {
    beginResetModel();
    lines_.clear();
    endResetModel();
}

namespace {

// Shows the lines of one group (and the notes, always), or all.
class GroupFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setGroup(std::optional<MessageGroup> group) {
        group_ = group;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (!group_) return true;
        const int g =
            sourceModel()
                ->data(sourceModel()->index(row, 0, parent), TrafficTableModel::kGroupRole)
                .toInt();
        return g < 0 || g == int(*group_);
    }

private:
    std::optional<MessageGroup> group_;
};

// Draws a cell's text as the style does, but lays out only as much of a long one as could show:
// the style shapes the whole text of a cell at every repaint only to elide it at the cell's
// edge. What is left is still wider than the cell, so the style elides it at the same place.
class VisiblePartDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        QString& text = option->text;
        const int width = option->rect.width();
        if (option->textElideMode != Qt::ElideRight || text.size() <= 8 || width <= 0 ||
            text.contains(QLatin1Char('\n')))
            return;
        const QFontMetrics metrics(option->font);
        int narrowest = width;
        for (const QChar c : std::as_const(text))
            narrowest = std::min(narrowest, metrics.horizontalAdvance(c));
        // A run of characters can be drawn a little narrower than their advances (kerning):
        // a quarter more than fit, and a few.
        const qsizetype shown = qsizetype(width) * 5 / 4 / std::max(narrowest, 1) + 4;
        if (text.size() > shown) text.truncate(shown);
    }
};

QString lineText(const TrafficLine& line) {
    return korvalen::formatTrafficLine(line);
}

} // namespace

// --- The window -------------------------------------------------------------------------------

MonitorWindow::MonitorWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), model_(new TrafficTableModel(kMaxLines, this)),
      filter_(new GroupFilter(this)), view_(new QTableView(this)), kinds_(new QComboBox(this)),
      pause_(new QPushButton(tr("Pause"), this)), count_(new QLabel(this)),
      poll_(new QTimer(this)) {
    setObjectName(QStringLiteral("midiMonitor"));
    setWindowTitle(tr("MIDI Monitor"));
    resize(900, 420);

    filter_->setSourceModel(model_);
    view_->setObjectName(QStringLiteral("monitorLines"));
    view_->setModel(filter_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setWordWrap(false);
    view_->setItemDelegate(new VisiblePartDelegate(view_));
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setColumnWidth(TrafficTableModel::Time,
                          fontMetrics().horizontalAdvance("00:00:00.0000"));
    view_->setColumnWidth(TrafficTableModel::Direction, fontMetrics().horizontalAdvance("Dir.__"));
    view_->setColumnWidth(TrafficTableModel::Port, 160);
    view_->setColumnWidth(TrafficTableModel::Message, 520);

    kinds_->setObjectName(QStringLiteral("monitorFilter"));
    kinds_->addItem(tr("All messages"), -1);
    for (int g = 0; g < korvalen::kMessageGroupCount; ++g)
        kinds_->addItem(
            tr("Only %1 messages").arg(QLatin1String(korvalen::groupName(MessageGroup(g)))), g);
    connect(kinds_, &QComboBox::currentIndexChanged, this, [this] {
        const int g = kinds_->currentData().toInt();
        static_cast<GroupFilter*>(filter_)->setGroup(g < 0 ? std::nullopt
                                                           : std::optional(MessageGroup(g)));
        updateCount();
    });

    pause_->setObjectName(QStringLiteral("monitorPause"));
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, &MonitorWindow::setPaused);
    auto* clearButton = new QPushButton(tr("Clear"), this);
    clearButton->setObjectName(QStringLiteral("monitorClear"));
    connect(clearButton, &QPushButton::clicked, this, &MonitorWindow::clear);
    auto* save = new QPushButton(tr("Save as Text..."), this);
    save->setObjectName(QStringLiteral("monitorSave"));
    connect(save, &QPushButton::clicked, this, &MonitorWindow::saveWithDialog);
    count_->setObjectName(QStringLiteral("monitorCount"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(kinds_);
    bar->addWidget(pause_);
    bar->addWidget(clearButton);
    bar->addWidget(save);
    bar->addStretch();
    bar->addWidget(count_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(view_);

    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &MonitorWindow::takeTraffic);
    updateCount();
    a11y::describeWindow(this);
}

MonitorWindow::~MonitorWindow() {
    stopWatching();
}

void MonitorWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    startWatching();
}

void MonitorWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Closed or hidden: the link pays nothing for it.
    if (!isVisible()) stopWatching();
}

void MonitorWindow::startWatching() {
    if (tap_) return;
    tap_ = std::make_unique<korvalen::midi::TrafficTapUser>();
    reader_ = std::make_unique<korvalen::TrafficReader>();
    poll_->start();
}

void MonitorWindow::stopWatching() {
    if (!tap_) return;
    poll_->stop();
    takeTraffic(); // what came before it closed
    tap_.reset();
    reader_.reset();
}

void MonitorWindow::takeTraffic() {
    if (!reader_) return;
    // The words of a line are made when it is shown: most lines never are.
    std::vector<TrafficLine> lines =
        reader_->take(std::size_t(kMaxLines), korvalen::Decode::KindOnly);
    if (paused_) {
        pausedMessages_ += lines.size();
        return;
    }
    QScrollBar* scroll = view_->verticalScrollBar();
    const bool atEnd = scroll->value() == scroll->maximum();
    const bool any = !lines.empty();
    model_->append(std::move(lines));
    if (atEnd && any) view_->scrollToBottom();
    updateCount();
}

void MonitorWindow::setPaused(bool paused) {
    if (paused == paused_) return;
    if (paused) takeTraffic(); // what came before the pause is shown
    paused_ = paused;
    if (pause_->isChecked() != paused) pause_->setChecked(paused);
    pause_->setText(paused ? tr("Resume") : tr("Pause"));
    if (!paused && pausedMessages_ > 0) {
        TrafficLine note;
        note.time = std::chrono::system_clock::now();
        note.note = true;
        note.decoded = tr("%n line(s) came while the monitor was paused and are not listed", "",
                          int(std::min<std::uint64_t>(pausedMessages_, INT_MAX)));
        model_->append({note});
        pausedMessages_ = 0;
        updateCount();
    }
}

void MonitorWindow::clear() {
    model_->clear();
    updateCount();
}

void MonitorWindow::setFilter(std::optional<MessageGroup> group) {
    kinds_->setCurrentIndex(group ? int(*group) + 1 : 0);
}

int MonitorWindow::lineCount() const {
    return model_->rowCount();
}

int MonitorWindow::shownLineCount() const {
    return filter_->rowCount();
}

QStringList MonitorWindow::lines(bool filtered, int count) const {
    QStringList text;
    if (!filtered) {
        const int all = model_->lineCount();
        for (int i = std::max(0, all - count); i < all; ++i)
            text << lineText(model_->line(i));
        return text;
    }
    const int rows = filter_->rowCount();
    for (int r = std::max(0, rows - count); r < rows; ++r)
        text << lineText(model_->line(filter_->mapToSource(filter_->index(r, 0)).row()));
    return text;
}

bool MonitorWindow::saveTo(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        for (const QString& line : lines(true))
            file.write((line + QLatin1Char('\n')).toUtf8());
        if (file.commit()) return true;
    }
    if (error) *error = file.errorString();
    return false;
}

void MonitorWindow::saveWithDialog() {
    auto* dialog = new QFileDialog(this, tr("Save the MIDI Monitor's lines"), QDir::homePath(),
                                   tr("Text files (*.txt);;All files (*)"));
    dialog->setObjectName(QStringLiteral("monitorSaveDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) {
        QString error;
        if (saveTo(path, &error)) return;
        auto* box = new QMessageBox(QMessageBox::Warning, tr("MIDI Monitor"),
                                    tr("The lines could not be saved to \"%1\": %2")
                                        .arg(QDir::toNativeSeparators(path), error),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    dialog->open();
}

void MonitorWindow::updateCount() {
    count_->setText(shownLineCount() == lineCount()
                        ? tr("%1 lines").arg(lineCount())
                        : tr("%1 of %2 lines").arg(shownLineCount()).arg(lineCount()));
}

// --- The Diagnostics menu of the main window -------------------------------------------------

void Korvalen49_Test::setUpDiagnostics() {
    QMenu* menu = ui.menuBar->addMenu(tr("Diagnostics"));
    menu->setObjectName(QStringLiteral("menuDiagnostics"));
    QAction* monitorAction =
        menu->addAction(tr("MIDI Monitor"), this, &Korvalen49_Test::monitorSlot);
    monitorAction->setObjectName(QStringLiteral("actionMidiMonitor"));
    QAction* report =
        menu->addAction(tr("Diagnostics Report..."), this, &Korvalen49_Test::diagnosticsReportSlot);
    report->setObjectName(QStringLiteral("actionDiagnosticsReport"));
}

void Korvalen49_Test::monitorSlot() {
    if (!monitor) monitor = new MonitorWindow(this);
    monitor->show();
    monitor->raise();
    monitor->activateWindow();
}

QString Korvalen49_Test::diagnosticsReportText() const {
    korvalen::DiagnosticsInput in;
    in.program = QStringLiteral("korvalen25-editor %1").arg(QApplication::applicationVersion());
    auto& midi = korvalen::midi::platform();
    in.backend = QString::fromStdString(midi.apiName());
    in.server = midi.midiServer();
    in.inputsNow = midi.inputNames();
    in.outputsNow = midi.outputNames();
    in.searched = connection.searched();
    in.search = connection.lastSearchRecord();
    in.connected = connection.state() == ControllerConnection::State::Connected;
    in.transfer = korvalen::lastTransfer();
    if (monitor) in.trafficLines = monitor->lines(false, korvalen::kReportTrafficLines);
    in.trafficNote =
        monitor ? tr("the MIDI Monitor has no lines")
                : tr("the MIDI Monitor was not open: open Diagnostics > MIDI Monitor, do again "
                     "what went wrong, and make the report again");
    return korvalen::diagnosticsReport(in);
}

void Korvalen49_Test::diagnosticsReportSlot() {
    const QString report = diagnosticsReportText();
    QApplication::clipboard()->setText(report);
    auto* dialog = new QFileDialog(this,
                                   tr("Save the diagnostics report (it is on the clipboard "
                                      "already)"),
                                   QDir::home().filePath(QStringLiteral("korvalen25-report.txt")),
                                   tr("Text files (*.txt);;All files (*)"));
    dialog->setObjectName(QStringLiteral("diagnosticsSaveDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this, report](const QString& path) {
        QSaveFile file(path);
        const bool written = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                             file.write(report.toUtf8()) >= 0 && file.commit();
        auto* box = new QMessageBox(
            written ? QMessageBox::Information : QMessageBox::Warning, tr("Diagnostics Report"),
            written ? tr("The report was written to \"%1\" and is on the clipboard, ready to "
                         "attach to a bug report.")
                          .arg(QDir::toNativeSeparators(path))
                    : tr("The report could not be written to \"%1\": %2. It is on the "
                         "clipboard.")
                          .arg(QDir::toNativeSeparators(path), file.errorString()),
            QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("diagnosticsResult"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    dialog->open();
}
