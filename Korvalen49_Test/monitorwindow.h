// "MIDI Monitor": every message on the ports the editor has open, one line each (time, in or
// out, port, what it says, its bytes), with pause, clear, a filter by kind and save as text.
// A flash shows as a few lines. The window keeps the last kMaxLines lines. The traffic tap is
// on only while the window is open: closed, it costs the link nothing.
#pragma once

#include "messagedecoder.h"
#include "trafficlines.h"

#include <QAbstractTableModel>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

namespace korvalen::midi {
class TrafficTapUser;
}

// The kept lines, oldest first, as a table.
class TrafficTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Time, Direction, Port, Message, Bytes, ColumnCount };
    static constexpr int kGroupRole = Qt::UserRole + 1; // the line's MessageGroup, or -1 for a note
    // The most characters of the bytes the list shows of a line: 64 bytes, wider than the
    // column on a wide screen.
    static constexpr qsizetype kShownByteChars = 64 * 3 - 1;

    explicit TrafficTableModel(int maxLines, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Adds lines at the end; the oldest go when there are more than the most kept. Lines may
    // come with their words to come (korvalen::fillIn): they are made when a line is shown.
    void append(std::vector<korvalen::TrafficLine>&& lines);
    void clear();
    int lineCount() const { return int(lines_.size()); }
    // Line `row`, with its words.
    const korvalen::TrafficLine& line(int row) const;

private:
    int maxLines_;
    mutable std::deque<korvalen::TrafficLine> lines_;
};

class MonitorWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxLines = 10000;
    static constexpr int kPollMs = 100;

    explicit MonitorWindow(QWidget* parent = nullptr);
    ~MonitorWindow() override;

    // Takes what is new in the traffic log into the list (the window's timer does this while
    // it is open).
    void takeTraffic();
    // The kept lines as text, oldest first, filtered or not; at most the last `count`.
    QStringList lines(bool filtered = false, int count = kMaxLines) const;
    int lineCount() const;
    int shownLineCount() const;
    // Only the lines of one kind of message; none: all.
    void setFilter(std::optional<korvalen::MessageGroup> group);
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    void clear();
    // Writes the lines shown (the filter applies) to `path`; false with `error` when it cannot.
    bool saveTo(const QString& path, QString* error) const;
    // True while the traffic tap is on for the window.
    bool watching() const { return tap_ != nullptr; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startWatching();
    void stopWatching();
    void saveWithDialog();
    void updateCount();

    std::unique_ptr<korvalen::midi::TrafficTapUser> tap_;
    std::unique_ptr<korvalen::TrafficReader> reader_;
    TrafficTableModel* model_;
    QSortFilterProxyModel* filter_;
    QTableView* view_;
    QComboBox* kinds_;
    QPushButton* pause_;
    QLabel* count_;
    QTimer* poll_;
    bool paused_ = false;
    std::uint64_t pausedMessages_ = 0; // messages that came while paused
};
