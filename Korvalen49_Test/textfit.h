// Texts that fit their widgets. The forms name fonts that Linux rarely has ("Aharoni", "Times
// New Roman"), and the fonts that stand in for them, like the usual sans serif, run wider than
// the fonts the forms were laid out with. A text that would be clipped keeps its words, and its
// widget keeps its place and size: the text is drawn narrower and, if need be, smaller.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace textfit {

// How far a text's own face is narrowed before a narrow face ("Liberation Sans Narrow", a
// condensed face: stretch 75) takes its place; how far that face is narrowed in turn (to 70 %
// of its width), and the smallest part of its size a text is drawn with.
inline constexpr int kMildStretch = 85;
inline constexpr int kNarrowFaceStretch = 75;
inline constexpr int kMinStretch = 70;
inline constexpr qreal kMinSizeRatio = 0.75;

// Stand-ins for the fonts of the forms that fit where those fonts did: "Aharoni" is drawn in
// "Liberation Sans Narrow" where it is missing. Call before the first form is set up.
void chooseFallbackFonts();

// The widest line of `text` in `font`, in pixels.
int widthOf(const QFont& font, const QString& text);

// `font` when `text` fits into `room` pixels with it; otherwise narrower, and then smaller, as
// little as it takes, down to kMinStretch and kMinSizeRatio (the narrowest and smallest when
// even that is too wide).
QFont fitted(const QFont& font, const QString& text, int room);

// The room a label leaves its text, and a push button.
int labelRoom(const QWidget* label);
int buttonRoom(const QWidget* button);

// Gives every label and push button below `form` (and `form` itself) whose text is wider than
// its room a font it fits with; those of other windows made as children of the form are left
// alone.
void fitTexts(QWidget* form);

} // namespace textfit
