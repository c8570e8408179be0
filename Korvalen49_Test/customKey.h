// A key of the keyboard picture: a push button coloured by the palette the form gives it.
//
// The style keeps each button face it has drawn, keyed by the button's size, state and
// palette, and draws a face it has kept by copying it. Each key has a palette of its own,
// equal to the one of every other key of its colour but never the same, so the style drew all
// 25 faces afresh, and large rounded faces are slow to draw. A key draws itself with the first
// palette of equal colours that any key drew with, so keys of one colour and size share one
// face; they look exactly as before.
//
// The style's copy of a kept face into a key goes through the painter's general path, which
// hands the tall keys to worker threads in slices and waits for them; a key copies its face
// itself, which the painter does in one plain pass. A key with the focus draws as the style
// does, since the focus frame is drawn over the face.
#pragma once

#include <QPushButton>

class customKey : public QPushButton {
    Q_OBJECT

public:
    explicit customKey(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
};
