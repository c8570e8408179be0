// A host for the window's commands that is no window: it keeps what the commands tell and the
// questions they ask, to be answered by the test.
#pragma once

#include "commandhost.h"
#include "edithistory.h"

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

struct FakeHost final : CommandHost {
    struct Box {
        QString objectName, title, text;
        bool warning = false;
    };
    struct Failure {
        QString command, text;
    };
    struct Question {
        QString command, replacement;
        std::function<void()> then, kept;
    };

    QWidget parent;
    EditHistory history;
    QStringList statuses;
    QList<Failure> failures;
    QList<Box> boxes;
    std::optional<Question> question;
    int titleRefreshes = 0;

    QWidget* dialogParent() override { return &parent; }
    EditHistory& editHistory() override { return history; }
    void showStatus(const QString& text, int) override { statuses << text; }
    void showFailure(const QString& command, const QString& text) override {
        statuses << text;
        failures << Failure{command, text};
    }
    void tellInBox(const QString& objectName, const QString& title, const QString& text,
                   bool warning) override {
        boxes << Box{objectName, title, text, warning};
    }
    // As the window does: no question when nothing would be lost.
    void mayReplaceEdits(const QString& command, const QString& replacement,
                         std::function<void()> then, std::function<void()> kept) override {
        if (!history.modified()) {
            if (then) then();
            return;
        }
        question = Question{command, replacement, std::move(then), std::move(kept)};
    }
    void refreshTitle() override { ++titleRefreshes; }

    void forget() {
        statuses.clear();
        failures.clear();
        boxes.clear();
        question.reset();
        titleRefreshes = 0;
    }
};
