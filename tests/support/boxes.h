// Answers the modal message boxes that a command shows, so that no test waits on one.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testboxes {

// While alive, answers every modal message box with `answer` and records "title|text".
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }

    QStringList seen;

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        seen << box->windowTitle() + QLatin1Char('|') + box->text();
        if (QAbstractButton* button = box->button(answer_))
            button->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton answer_;
    QTimer timer_;
};

// While alive, cancels the editor's search window as soon as it shows, after `look` (if set)
// has seen it. The window is found by its objectName, its Cancel button likewise.
class SearchCanceller : public QObject {
public:
    explicit SearchCanceller(std::function<bool(QWidget*)> look = {}) : look_(std::move(look)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
        timer_.start();
    }

    int cancelled = 0;

private:
    void poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != QLatin1String("searchWindow") || !w->isVisible()) continue;
            // `look` returns false until it has seen what it waits for.
            if (look_ && !look_(w)) return;
            auto* cancel = w->findChild<QAbstractButton*>(QStringLiteral("cancelSearch"));
            if (cancel && cancel->isEnabled()) {
                ++cancelled;
                cancel->click();
            }
        }
    }

    std::function<bool(QWidget*)> look_;
    QTimer timer_;
};

} // namespace testboxes
