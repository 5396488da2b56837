// Whether the X server named by DISPLAY answers (see the header).
#include "xdisplay.h"

#include <X11/Xlib.h>

bool xDisplayOpens() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}
