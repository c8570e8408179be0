// A combo box of the editing panels. QComboBox builds its popup (a window with a list view,
// scroll bars and a delegate) as soon as its font changes, to give the popup the same font;
// the form sets the font of each of its encoder boxes while it builds them, so
// every box built its popup at start-up although most popups are never opened. This box takes
// the font change at once but hands it to the popup only when the popup, or the box's size
// hint, is first needed; what it shows, and the popup it opens, stay the same.
//
// An entry wider than the box is shown narrower and, if need be, smaller (textfit::fitted), so
// that it can be read whole; one that does not fit even so ends in "..." and shows whole in the
// box's tool tip.
#pragma once

#include <QComboBox>
#include <QFont>

class customComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit customComboBox(QWidget* parent = nullptr);

    void showPopup() override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The room the closed box has for the text of its entry, and the font it shows `text`
    // with there.
    int textRoom() const;
    QFont fontFor(const QString& text) const;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Gives the popup the box's font, as QComboBox does on a font change.
    void applyPendingFont() const;

    mutable bool popupFontPending_ = false;
};
