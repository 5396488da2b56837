// Whether the X server named by DISPLAY answers. Kept apart from the Qt code, whose headers
// clash with Xlib's macros.
#pragma once

bool xDisplayOpens();
