// The small window that a device search shows while it runs: which attempt it is at, which
// port it is asking, or that there is no port to ask; and Cancel, which ends the search at
// once.
#pragma once

#include "devicesearch.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class SearchWindow : public QDialog {
    Q_OBJECT

public:
    explicit SearchWindow(const QString& title, QWidget* parent = nullptr);

    // The two lines the window shows for a step of the search: the attempt, and what the
    // search is doing in it. An empty line leaves the line as it was.
    struct Lines {
        QString attempt;
        QString detail;
    };
    static Lines linesFor(const korvalen::midi::SearchEvent& event);

    QString attemptText() const;
    QString detailText() const;

public slots:
    // A step of the search, as the connection tells it on the window's thread.
    void showStep(const korvalen::midi::SearchEvent& event);

signals:
    // Cancel, Escape or the window's close button: the search is to end as not found.
    void cancelRequested();

protected:
    void reject() override;

private:
    QLabel* attempt_;
    QLabel* detail_;
    QPushButton* cancel_;
    bool cancelled_ = false;
};
