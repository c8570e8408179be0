#include "searchwindow.h"

#include "accessibility.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using korvalen::midi::SearchEvent;

SearchWindow::SearchWindow(const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("searchWindow"));
    setWindowTitle(title);
    // Files, the library, edits and the monitor stay usable while a search runs; the window
    // greys the commands that use the MIDI ports instead.
    setWindowModality(Qt::NonModal);

    attempt_ = new QLabel(tr("Looking for the MIDI ports..."), this);
    attempt_->setObjectName(QStringLiteral("searchAttempt"));
    detail_ = new QLabel(this);
    detail_->setObjectName(QStringLiteral("searchDetail"));
    detail_->setWordWrap(true);
    detail_->setMinimumWidth(360);
    // A busy bar: it moves as long as the window is painted.
    auto* busy = new QProgressBar(this);
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    cancel_->setObjectName(QStringLiteral("cancelSearch"));
    connect(buttons, &QDialogButtonBox::rejected, this, &SearchWindow::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(attempt_);
    layout->addWidget(detail_);
    layout->addWidget(busy);
    layout->addWidget(buttons);
    a11y::describeWindow(this);
}

namespace {

QString noOutputPort() {
    return SearchWindow::tr("There is no MIDI output port to ask the controller on. Is it "
                            "plugged in?");
}

} // namespace

SearchWindow::Lines SearchWindow::linesFor(const SearchEvent& event) {
    const QString name = QString::fromStdString(event.name);
    switch (event.kind) {
    case SearchEvent::Kind::Attempt:
        return {tr("Attempt %1 of %2").arg(event.attempt).arg(event.attempts),
                tr("Reading the list of MIDI ports...")};
    case SearchEvent::Kind::WaitingForPorts: {
        // What the search waits for, and how long it has waited of the most it waits.
        const QString waited = tr("Waiting for MIDI ports, %1 s of %2")
                                   .arg(event.waitedMs / 1000)
                                   .arg(event.waitForMs / 1000);
        if (event.inputs == 0 && event.outputs == 0)
            return {waited, tr("There are no MIDI ports. Is the controller plugged in?")};
        if (event.outputs == 0) return {waited, noOutputPort()};
        return {waited, tr("There is no MIDI input port to hear the controller on. Is it "
                           "plugged in?")};
    }
    case SearchEvent::Kind::NoInputPort:
        return {{}, tr("There is no MIDI input port. Is the controller plugged in?")};
    case SearchEvent::Kind::TooManyPorts:
        return {{}, tr("There are more than 20 MIDI ports. Unplug some other MIDI devices.")};
    case SearchEvent::Kind::NoOutputPort:
        return {{}, noOutputPort()};
    case SearchEvent::Kind::Probing:
        return {{}, tr("Asking %1...").arg(name)};
    case SearchEvent::Kind::Answer:
        return {};
    case SearchEvent::Kind::Confirming:
        return {{}, tr("An answer came; asking once more to be sure...")};
    case SearchEvent::Kind::Found:
        return {{}, tr("Found on %1.").arg(name)};
    case SearchEvent::Kind::Several:
        return {{}, tr("More than one controller answered.")};
    }
    return {};
}

QString SearchWindow::attemptText() const {
    return attempt_->text();
}

QString SearchWindow::detailText() const {
    return detail_->text();
}

void SearchWindow::showStep(const SearchEvent& event) {
    if (cancelled_) return;
    const Lines lines = linesFor(event);
    if (!lines.attempt.isEmpty()) attempt_->setText(lines.attempt);
    if (!lines.detail.isEmpty()) detail_->setText(lines.detail);
}

void SearchWindow::reject() {
    // The window stays until the search has ended; it closes with it.
    if (cancelled_) return;
    cancelled_ = true;
    cancel_->setEnabled(false);
    detail_->setText(tr("Stopping the search..."));
    emit cancelRequested();
}
