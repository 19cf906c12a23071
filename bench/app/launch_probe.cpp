// Measures the real game as a player meets it, from outside the program: the time from start to
// the dialog on the screen, from the Play click to the first table frame on the screen, the peak
// resident memory while playing, and the CPU spent while the game waits for a click. Runs against
// the X server in DISPLAY (launch_figures.sh starts a private one) and prints `name: value` lines.
//
// usage: launch_probe GAME [--runs N] [--window] [--idle] [--label TEXT]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Options {
    std::string game;
    int runs = 5;
    bool window = false;
    bool idle = false;
    std::string label;
};

[[noreturn]] void Die(const std::string& why) {
    std::fprintf(stderr, "launch_probe: %s\n", why.c_str());
    std::exit(1);
}

// The top-level window whose name contains "Pellow" and that is shown, or None.
Window FindShown(Display* d, Window w) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable) {
        char* name = nullptr;
        if (XFetchName(d, w, &name) && name) {
            const bool ours = std::strstr(name, "Pellow") != nullptr;
            XFree(name);
            if (ours) return w;
        }
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return None;
    Window found = None;
    for (unsigned i = 0; i < count && found == None; ++i) found = FindShown(d, children[i]);
    if (children) XFree(children);
    return found;
}

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

Box Geometry(Display* d, Window w) {
    XWindowAttributes a;
    XGetWindowAttributes(d, w, &a);
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return {x, y, a.width, a.height};
}

// Samples the screen on a grid inside the box; returns the pixels as 0xRRGGBB.
std::vector<unsigned long> Sample(Display* d, const Box& b, int steps) {
    std::vector<unsigned long> px;
    const int rowsWanted = steps;
    for (int r = 1; r <= rowsWanted; ++r) {
        const int y = b.y + b.h * r / (rowsWanted + 1);
        XImage* img = XGetImage(d, DefaultRootWindow(d), b.x, y, static_cast<unsigned>(b.w), 1, AllPlanes, ZPixmap);
        if (!img) continue;
        for (int c = 1; c <= steps; ++c) px.push_back(XGetPixel(img, b.w * c / (steps + 1), 0) & 0xFFFFFF);
        XDestroyImage(img);
    }
    return px;
}

// The dialog is drawn once its pictures show: many different colours where a blank window has one.
bool DialogDrawn(const std::vector<unsigned long>& px) {
    std::vector<unsigned long> seen(px);
    std::sort(seen.begin(), seen.end());
    return std::unique(seen.begin(), seen.end()) - seen.begin() >= 12;
}

// The table is drawn once a good part of the screen shows the felt (green well above red and
// blue): the dialog is grey and the empty screen black.
bool TableDrawn(const std::vector<unsigned long>& px) {
    int felt = 0;
    for (unsigned long p : px) {
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (g > r + 25 && g > b + 15) ++felt;
    }
    return felt * 10 > static_cast<int>(px.size()) * 3;
}

void Click(Display* d, int x, int y) {
    XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XFlush(d);
}

// Held for a while: the game reads the keyboard's state once a frame, not its events.
void Key(Display* d, KeySym sym) {
    const KeyCode code = XKeysymToKeycode(d, sym);
    XSetInputFocus(d, PointerRoot, RevertToPointerRoot, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XFlush(d);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XFlush(d);
}

std::optional<double> StatusField(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stod(line.substr(std::strlen(field))) / 1024.0;  // kB -> MB
    return std::nullopt;
}

// User plus system CPU of the process, in milliseconds.
// Time on a CPU of all the game's threads, to the nanosecond (the scheduler's own count; the
// clock ticks of /proc/PID/stat are 10 ms apart).
double CpuMs(pid_t pid) {
    double ns = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream in(task.path() / "schedstat");
        double onCpu = 0;
        if (in >> onCpu) ns += onCpu;
    }
    return ns / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Run {
    double toDialog = 0, toTable = 0, peakMb = 0, idleMs = -1;
};

template <class Pred>
bool PollFor(Pred done, double limitMs) {
    const auto start = Clock::now();
    while (MsSince(start) < limitMs) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}

// Looks again only when the server reports drawing on the screen or a window mapped, and sleeps
// in between: a probe that polled would take the server and a core from the program it measures.
template <class Pred>
bool WhenDrawn(Display* d, Pred done, double limitMs) {
    const Damage damage = XDamageCreate(d, DefaultRootWindow(d), XDamageReportNonEmpty);
    const auto start = Clock::now();
    bool ok = false;
    while (!ok) {
        // Emptied before looking, so drawing after the look reports anew.
        XDamageSubtract(d, damage, None, None);
        if ((ok = done())) break;
        bool woke = false;
        while (!woke) {
            while (XPending(d) > 0) {
                XEvent event;
                XNextEvent(d, &event);
                woke = true;
            }
            const double left = limitMs - MsSince(start);
            if (woke || left <= 0) break;
            pollfd wait{ConnectionNumber(d), POLLIN, 0};
            poll(&wait, 1, static_cast<int>(left) + 1);
        }
        if (!woke) break;
    }
    XDamageDestroy(d, damage);
    XSync(d, True);
    return ok;
}

Run OneRun(Display* d, const Options& o, bool measureIdle) {
    Run run;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) Die("cannot start the game");
    if (pid == 0) {
        if (o.window) execl(o.game.c_str(), o.game.c_str(), "--window", static_cast<char*>(nullptr));
        else execl(o.game.c_str(), o.game.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Window dialog = None;
    Box box;
    const bool shown = WhenDrawn(
        d,
        [&] {
            if (dialog == None) dialog = FindShown(d, DefaultRootWindow(d));
            if (dialog == None) return false;
            box = Geometry(d, dialog);
            return DialogDrawn(Sample(d, box, 12));
        },
        10000);
    if (!shown) kill(pid, SIGKILL), Die("the dialog did not show within 10 s");
    run.toDialog = MsSince(start);

    // Play sits at (380, 530) in the dialog.
    Click(d, box.x + 380, box.y + 530);
    const auto played = Clock::now();
    const int screenW = DisplayWidth(d, DefaultScreen(d)), screenH = DisplayHeight(d, DefaultScreen(d));
    // A window is centred and at least 640 x 480, which on a large screen is too little of it
    // to tell: its middle is looked at instead.
    const Box looked = o.window ? Box{screenW / 2 - 320, screenH / 2 - 240, 640, 480} : Box{0, 0, screenW, screenH};
    const bool table = WhenDrawn(
        d, [&] { return TableDrawn(Sample(d, looked, 10)); }, 10000);
    if (!table) kill(pid, SIGKILL), Die("no table frame within 10 s of Play");
    run.toTable = MsSince(played);

    // Dealing and the computer seats' first cards; the player's turn comes after.
    std::this_thread::sleep_for(std::chrono::seconds(measureIdle ? 25 : 4));
    if (measureIdle) {
        // A whole minute, so the clock's change of minute is counted at its true share.
        const double before = CpuMs(pid);
        std::this_thread::sleep_for(std::chrono::seconds(60));
        run.idleMs = (CpuMs(pid) - before) / 6;
    }
    run.peakMb = StatusField(pid, "VmHWM:").value_or(0);

    Key(d, XK_Escape);
    int status = 0;
    const bool ended = PollFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 5000);
    if (!ended) kill(pid, SIGKILL), waitpid(pid, &status, 0), Die("the game did not end on Escape");
    // Let the X server settle before the next start.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) o.runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--window") o.window = true;
        else if (a == "--idle") o.idle = true;
        else if (a == "--label" && i + 1 < argc) o.label = argv[++i];
        else if (o.game.empty() && a[0] != '-') o.game = a;
        else Die("usage: launch_probe GAME [--runs N] [--window] [--idle] [--label TEXT]");
    }
    if (o.game.empty()) Die("usage: launch_probe GAME [--runs N] [--window] [--idle] [--label TEXT]");
    Display* d = XOpenDisplay(nullptr);
    if (!d) Die("no X display");
    int ev, er, major, minor;
    if (!XTestQueryExtension(d, &ev, &er, &major, &minor)) Die("the X server has no XTEST");
    if (!XDamageQueryExtension(d, &ev, &er)) Die("the X server has no DAMAGE");
    // Windows mapped anywhere wake the probe as drawing does.
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);

    std::vector<double> dialog, table, peak, idle;
    for (int i = 0; i < o.runs; ++i) {
        const Run r = OneRun(d, o, o.idle && i == o.runs - 1);
        dialog.push_back(r.toDialog);
        table.push_back(r.toTable);
        peak.push_back(r.peakMb);
        if (r.idleMs >= 0) idle.push_back(r.idleMs);
    }
    const std::string mode = o.window ? "window" : "full screen";
    const std::string tag = o.label.empty() ? "" : ", " + o.label;
    std::printf("start to dialog ms (%s%s): %.0f\n", mode.c_str(), tag.c_str(), Median(dialog));
    std::printf("play to first frame ms (%s%s): %.0f\n", mode.c_str(), tag.c_str(), Median(table));
    std::printf("play to first frame ms, range (%s%s): %.0f to %.0f\n", mode.c_str(), tag.c_str(),
                *std::min_element(table.begin(), table.end()), *std::max_element(table.begin(), table.end()));
    std::printf("peak resident MB (%s%s): %.1f\n", mode.c_str(), tag.c_str(),
                *std::max_element(peak.begin(), peak.end()));
    if (!idle.empty()) std::printf("idle CPU ms per 10 s (%s%s): %.1f\n", mode.c_str(), tag.c_str(), Median(idle));
    XCloseDisplay(d);
    return 0;
}
