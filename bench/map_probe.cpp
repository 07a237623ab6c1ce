// Times a program from exec to the mapping of its top-level window and, optionally, reads its
// resident memory once it has idled. Meant for an X server without a window manager, so the
// program's own window is a child of root and nothing reparents it.
//
// usage: bench_map_probe [--title TITLE] [--hold MS] [--timeout MS] -- COMMAND [ARG...]
// prints one line: milliseconds from exec to map, then VmRSS in KiB after MS if --hold was given.
// Without --title the first InputOutput window of at least 100x100 counts.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

namespace {

// steady_clock is CLOCK_MONOTONIC on Linux.
double NowMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A window may be gone by the time we ask about it; that only means it is not ours.
int IgnoreXErrors(Display*, XErrorEvent*) { return 0; }

std::string Title(Display* display, Window window) {
  static const Atom net_wm_name = XInternAtom(display, "_NET_WM_NAME", False);
  static const Atom utf8_string = XInternAtom(display, "UTF8_STRING", False);
  std::string title;
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, net_wm_name, 0, 1024, False, utf8_string, &type, &format,
                         &count, &remaining, &data) == Success &&
      data != nullptr) {
    if (type == utf8_string && format == 8) title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  char* name = nullptr;
  if (title.empty() && XFetchName(display, window, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

bool IsTarget(Display* display, Window window, const std::optional<std::string>& title) {
  if (title) return Title(display, window) == *title;
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, window, &attributes) != 0 &&
         attributes.c_class == InputOutput && attributes.width >= 100 && attributes.height >= 100;
}

long VmRssKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

bool Exited(pid_t child) {
  int status = 0;
  return waitpid(child, &status, WNOHANG) == child;
}

void Stop(pid_t child) {
  kill(child, SIGTERM);
  for (int i = 0; i < 200 && !Exited(child); ++i) usleep(10'000);
  if (kill(child, SIGKILL) == 0) waitpid(child, nullptr, 0);
}

// Reads events until the target is mapped; returns when that happened, or nothing on timeout or
// if the child died first.
std::optional<double> WaitForMap(Display* display, pid_t child, double deadline,
                                 const std::optional<std::string>& title) {
  const Window root = DefaultRootWindow(display);
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      const double at = NowMs();  // before the round trips IsTarget makes
      if (event.type == MapNotify && event.xmap.event == root &&
          IsTarget(display, event.xmap.window, title)) {
        return at;
      }
    }
    if (Exited(child) || NowMs() > deadline) return std::nullopt;
    pollfd wait{ConnectionNumber(display), POLLIN, 0};
    poll(&wait, 1, 50);
  }
}

int Usage() {
  std::fputs(
      "usage: bench_map_probe [--title TITLE] [--hold MS] [--timeout MS] -- COMMAND [ARG...]\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<std::string> title;
  long hold_ms = -1;
  long timeout_ms = 30'000;
  int first = 1;
  for (; first < argc && std::strcmp(argv[first], "--") != 0; first += 2) {
    if (first + 1 >= argc) return Usage();
    if (std::strcmp(argv[first], "--title") == 0) {
      title = argv[first + 1];
    } else if (std::strcmp(argv[first], "--hold") == 0) {
      hold_ms = std::strtol(argv[first + 1], nullptr, 10);
    } else if (std::strcmp(argv[first], "--timeout") == 0) {
      timeout_ms = std::strtol(argv[first + 1], nullptr, 10);
    } else {
      return Usage();
    }
  }
  if (first + 1 >= argc) return Usage();
  char** command = argv + first + 1;

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("bench_map_probe: cannot open the display\n", stderr);
    return 2;
  }
  XSetErrorHandler(IgnoreXErrors);
  // Subscribe before the child exists so that no map can slip past.
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  fcntl(ConnectionNumber(display), F_SETFD, FD_CLOEXEC);

  const pid_t child = fork();
  if (child < 0) {
    std::perror("bench_map_probe: fork");
    return 2;
  }
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);    // no stray windows if the probe is killed
    dup2(STDERR_FILENO, STDOUT_FILENO);  // our stdout carries only the figures
    execvp(command[0], command);
    std::perror("bench_map_probe: exec");
    _exit(127);
  }
  const double started = NowMs();

  const std::optional<double> mapped =
      WaitForMap(display, child, started + static_cast<double>(timeout_ms), title);
  if (!mapped) {
    std::fprintf(stderr, "bench_map_probe: %s mapped no matching window\n", command[0]);
    Stop(child);
    return 1;
  }
  std::printf("%.2f", *mapped - started);

  if (hold_ms >= 0) {
    const double until = NowMs() + static_cast<double>(hold_ms);
    while (NowMs() < until && !Exited(child)) {
      while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
      }
      usleep(20'000);
    }
    std::printf(" %ld", VmRssKib(child));
  }
  std::printf("\n");
  Stop(child);
  XCloseDisplay(display);
  return 0;
}
