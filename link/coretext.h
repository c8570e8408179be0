// The core's texts in the user's language: what the core builds as a Text (a format and its
// arguments) translated through the installed translation, arguments and all.
#pragma once

#include "text.h"

#include <QString>

namespace korvalen {

// The text in the user's language: its format translated in its context, every %N replaced by
// its argument (nested texts translated in turn, data as it is), %n by the count with the
// plural form the count needs. Without a translation, the English of Text::english().
QString translated(const Text& text);

} // namespace korvalen
