// Where the editor's logo comes from.
#pragma once

class QWidget;

// The form paints its logo from "logo.bmp" in the working directory. When that file is not
// there (the installed editor started from any folder), the style sheet that names it is
// pointed at the copy compiled into the program instead. `logo` is the logo widget; the sheet
// may be its own or one of its ancestors'.
void findLogo(QWidget* logo);
