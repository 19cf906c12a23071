// The dialog's process and the toolkit's display (see toolkit_display.hpp).
#include "app/dialog/toolkit_display.hpp"

#include <FL/Fl.H>
#include <FL/x.H>

#include <cstdio>
#include <iterator>

#include "app/dialog/desktop_scale.hpp"
#include "presentation/environment.hpp"

namespace pellow {

namespace {

// The toolkit's answers to X's errors, as its own opening of the display sets them: an error
// is a warning, a lost connection the end.
int WarnOfXError(Display* display, XErrorEvent* error) {
    char request[32], requestName[128], text[128];
    std::snprintf(request, sizeof request, "XRequest.%d", error->request_code);
    XGetErrorDatabaseText(display, "", request, request, requestName, sizeof requestName);
    XGetErrorText(display, error->error_code, text, sizeof text);
    Fl::warning("%s: %s 0x%lx", requestName, text, error->resourceid);
    return 0;
}
int EndOnLostDisplay(Display*) {
    Fl::fatal("X I/O error");
    return 0;
}

}  // namespace

void OpenToolkitDisplay() {
    static const char* const kToolkitAtoms[] = {"WM_DELETE_WINDOW",
                                                "WM_PROTOCOLS",
                                                "_MOTIF_WM_HINTS",
                                                "TARGETS",
                                                "CLIPBOARD",
                                                "TIMESTAMP",
                                                "PRIMARY_TIMESTAMP",
                                                "CLIPBOARD_TIMESTAMP",
                                                "XdndAware",
                                                "XdndSelection",
                                                "XdndEnter",
                                                "XdndTypeList",
                                                "XdndPosition",
                                                "XdndLeave",
                                                "XdndDrop",
                                                "XdndStatus",
                                                "XdndActionCopy",
                                                "XdndFinished",
                                                "text/uri-list",
                                                "text/plain;charset=UTF-8",
                                                "text/plain;charset=utf-8",
                                                "text/plain",
                                                "TEXT",
                                                "COMPOUND_TEXT",
                                                "UTF8_STRING",
                                                "image/bmp",
                                                "image/png",
                                                "INCR",
                                                "_NET_WM_PID",
                                                "_NET_WM_NAME",
                                                "_NET_WM_ICON_NAME",
                                                "_NET_SUPPORTING_WM_CHECK",
                                                "_NET_WM_STATE",
                                                "_NET_WM_STATE_FULLSCREEN",
                                                "_NET_WM_FULLSCREEN_MONITORS",
                                                "_NET_WORKAREA",
                                                "_NET_WM_ICON",
                                                "_NET_ACTIVE_WINDOW"};
    constexpr int kCount = static_cast<int>(std::size(kToolkitAtoms));
    XSetIOErrorHandler(EndOnLostDisplay);
    XSetErrorHandler(WarnOfXError);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        // The toolkit tries again and says why it cannot, as it always has.
        fl_open_display();
        return;
    }
    Atom atoms[kCount];
    XInternAtoms(display, const_cast<char**>(kToolkitAtoms), kCount, False, atoms);
    fl_open_display(display);
}

bool DisplayTakesPicturesAsTheyAre() {
    const Visual* visual = fl_visual->visual;
    if (fl_visual->depth != 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
        visual->blue_mask != 0xFF)
        return false;
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(fl_display, &count);
    bool word = false;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == 24) word = formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    return word;
}

double DesktopTextScale() {
    const char* resources = XResourceManagerString(fl_display);
    return resources ? TextScaleFromResources(resources) : 1;
}

// Read while HOME names a place where no file can be made: the toolkit's defaults apply and
// nothing is written. The game keeps its own settings elsewhere.
void ReadToolkitOptionsWithoutSaving() {
    const modDX::WithStandIn noHome(modDX::Variable::Home);
    Fl::option(Fl::OPTION_VISIBLE_FOCUS);
}

}  // namespace pellow
