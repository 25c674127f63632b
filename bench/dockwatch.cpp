// Times a tray program's start on an X display: from the exec until its icon is docked in the
// tray host, seen through X events rather than by polling with other programs (which would
// take the processor from the program being measured).
//
//   bench_dockwatch wait-tray TIMEOUT_MS
//       waits until a tray host owns the tray selection of screen 0.
//   bench_dockwatch start TIMEOUT_MS LOG PROGRAM [ARGUMENTS...]
//       starts PROGRAM (output to LOG, environment and folder inherited), prints
//       "PID MILLISECONDS" once its icon is docked ("PID -1" when it is not docked in time or
//       the program ended), then stays the program's parent until it ends, and exits with 0
//       when the icon was docked.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Windows come and go while the program starts; asking about one that just vanished is no error.
int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

bool hasProperty(Display *d, Window w, Atom name)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    const bool found = XGetWindowProperty(d, w, name, 0, 4, False, AnyPropertyType, &type, &format,
                                          &count, &after, &data) == Success &&
                       type != None;
    if (data)
        XFree(data);
    return found;
}

long windowPid(Display *d, Window w, Atom netWmPid)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(d, w, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 32 && count == 1)
        pid = *reinterpret_cast<long *>(data);
    if (data)
        XFree(data);
    return pid;
}

bool viewable(Display *d, Window w)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(d, w, &attributes) != 0 && attributes.map_state == IsViewable;
}

int waitTray(Display *d, int timeoutMs)
{
    const Atom selection = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
    const double end = nowMs() + timeoutMs;
    while (nowMs() < end) {
        if (XGetSelectionOwner(d, selection) != None)
            return 0;
        usleep(20000);
    }
    std::fprintf(stderr, "bench_dockwatch: no tray host appeared\n");
    return 1;
}

int start(Display *d, int timeoutMs, const char *log, char **program)
{
    const Atom xembedInfo = XInternAtom(d, "_XEMBED_INFO", False);
    const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    const Window root = DefaultRootWindow(d);
    // A tray host takes an icon in by reparenting it away from the root window.
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, False);

    const double started = nowMs();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("bench_dockwatch: fork");
        return 2;
    }
    if (pid == 0) {
        const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            dup2(fd, STDOUT_FILENO);
            dup2(fd, STDERR_FILENO);
        }
        close(ConnectionNumber(d));
        execvp(program[0], program);
        std::perror("bench_dockwatch: exec");
        _exit(127);
    }

    Window icon = None;
    double dockedAfter = -1;
    const double end = started + timeoutMs;
    while (dockedAfter < 0 && nowMs() < end) {
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            if (event.type == ReparentNotify && event.xreparent.parent != root && icon == None &&
                windowPid(d, event.xreparent.window, netWmPid) == pid &&
                hasProperty(d, event.xreparent.window, xembedInfo)) {
                icon = event.xreparent.window;
                // Its own map comes after the reparent; watch it, then look once (it may have
                // been mapped already).
                XSelectInput(d, icon, StructureNotifyMask);
            }
        }
        if (icon != None && viewable(d, icon)) {
            dockedAfter = nowMs() - started;
            break;
        }
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            std::printf("%d -1\n", int(pid));
            return 1;
        }
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, 5);
    }
    std::printf("%d %.1f\n", int(pid), dockedAfter);
    std::fflush(stdout);
    XCloseDisplay(d);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return dockedAfter >= 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    const bool waitMode = argc == 3 && std::strcmp(argv[1], "wait-tray") == 0;
    const bool startMode = argc >= 5 && std::strcmp(argv[1], "start") == 0;
    if (!waitMode && !startMode) {
        std::fprintf(stderr,
                     "usage: bench_dockwatch wait-tray TIMEOUT_MS\n"
                     "       bench_dockwatch start TIMEOUT_MS LOG PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const int timeoutMs = std::atoi(argv[2]);
    XSetErrorHandler(ignoreXError);
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "bench_dockwatch: cannot open the display\n");
        return 2;
    }
    if (waitMode) {
        const int result = waitTray(d, timeoutMs);
        XCloseDisplay(d);
        return result;
    }
    return start(d, timeoutMs, argv[3], argv + 4);
}
