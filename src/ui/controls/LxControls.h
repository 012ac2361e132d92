// The element kinds of the program's two windows: "dlg" (CLxDialog itself),
// "text", "img", "imgbtn", "dlgbtn", "dlgbtnEx2", "progress", and the
// nine-grid image "expendimgex2" that the message box's shadow is drawn
// with. One header per control; this one brings them all.
#pragma once

#include "ui/controls/LxDialogButton.h"
#include "ui/controls/LxExpendImg.h"
#include "ui/controls/LxImageWnd.h"
#include "ui/controls/LxProgress.h"
#include "ui/controls/LxStatic.h"
