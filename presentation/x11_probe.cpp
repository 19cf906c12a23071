// The only file of this layer that speaks Xlib, for one question: does a window manager run?
#include "presentation/dx_internal.hpp"

#include <SDL_syswm.h>
#include <X11/Xatom.h>

namespace pellow::modDX {

namespace detail {

// Whether a window manager runs that will answer a full-screen request. SDL waits up to 100 ms
// for that answer; with no manager there is none, and a borderless window the desktop's size is
// all full screen can be. Outside X11 a manager is taken to be there.
bool WindowManagerAnswers(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
    ::Display* x = info.info.x11.display;
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(x, DefaultRootWindow(x), check, 0, 1, False, XA_WINDOW, &type, &format,
                                          &count, &after, &data) == Success &&
                       type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

}  // namespace detail
}  // namespace pellow::modDX
