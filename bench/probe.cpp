// Photodiode and response box for the timing benchmark: watches one screen pixel, presses keys.
//
// The screen is the memory-mapped frame buffer file of an Xvfb started with -fbdir; one pixel
// is read every few tens of microseconds (a timed sleep between reads, never a spin, so the
// program under test keeps its processors) and every change is stamped with CLOCK_MONOTONIC.
// Key presses go through XTest at a chosen delay after a stimulus colour appeared. The program
// under test is started here, so its start time is known exactly.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

timespec ToTimespec(int64_t ns) {
    timespec t{};
    t.tv_sec = static_cast<time_t>(ns / 1000000000);
    t.tv_nsec = static_cast<long>(ns % 1000000000);
    return t;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "rtp_bench_probe: %s\n", what);
    std::exit(2);
}

uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Where the probed pixel lives in the XWD image that Xvfb keeps as its screen.
struct Framebuffer {
    const volatile uint8_t* pixel = nullptr;
    uint32_t bytesPerPixel = 0;
    bool msbFirst = false;
    uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

int ShiftOf(uint32_t mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// The header fields are 32-bit big-endian words; the pixels follow the window name and colour map.
Framebuffer MapFramebuffer(const char* path, int x, int y) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) Fail("cannot open the frame buffer file");
    struct stat info{};
    if (fstat(fd, &info) != 0 || info.st_size < 100) Fail("frame buffer file too small");
    void* map = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) Fail("cannot map the frame buffer file");
    const auto* bytes = static_cast<const uint8_t*>(map);
    auto field = [&](int index) { return Be32(bytes + 4 * index); };
    const uint32_t headerSize = field(0);
    const uint32_t pixmapFormat = field(2);
    const uint32_t width = field(4);
    const uint32_t height = field(5);
    const uint32_t byteOrder = field(7);
    const uint32_t bitsPerPixel = field(11);
    const uint32_t bytesPerLine = field(12);
    const uint32_t ncolors = field(19);
    constexpr uint32_t kZPixmap = 2;
    constexpr uint32_t kColorEntryBytes = 12;
    if (pixmapFormat != kZPixmap || (bitsPerPixel != 32 && bitsPerPixel != 24)) Fail("unsupported XWD pixel format");
    if (x < 0 || y < 0 || static_cast<uint32_t>(x) >= width || static_cast<uint32_t>(y) >= height)
        Fail("probe pixel outside the screen");
    const uint64_t offset = headerSize + static_cast<uint64_t>(ncolors) * kColorEntryBytes +
                            static_cast<uint64_t>(y) * bytesPerLine + static_cast<uint64_t>(x) * (bitsPerPixel / 8);
    if (offset + 4 > static_cast<uint64_t>(info.st_size)) Fail("probe pixel beyond the end of the file");
    Framebuffer fb;
    fb.pixel = bytes + offset;
    fb.bytesPerPixel = bitsPerPixel / 8;
    fb.msbFirst = byteOrder != 0;
    fb.redMask = field(14);
    fb.greenMask = field(15);
    fb.blueMask = field(16);
    return fb;
}

// The probed pixel as 0xRRGGBB.
uint32_t ReadPixel(const Framebuffer& fb) {
    uint32_t raw = 0;
    for (uint32_t i = 0; i < fb.bytesPerPixel; ++i) {
        const uint32_t byte = fb.pixel[i];
        raw = fb.msbFirst ? (raw << 8 | byte) : (raw | byte << (8 * i));
    }
    auto channel = [&](uint32_t mask) { return mask == 0 ? 0u : ((raw & mask) >> ShiftOf(mask)) & 0xFFu; };
    return channel(fb.redMask) << 16 | channel(fb.greenMask) << 8 | channel(fb.blueMask);
}

struct Options {
    std::string fbFile;
    int x = 960, y = 540;
    int64_t pollNs = 50000;
    int64_t holdNs = 0;         // after a change, read only once a millisecond for this long
    uint32_t titleColour = 0;
    std::vector<uint32_t> stimColours;
    std::vector<double> delaysMs;   // one per trial; the last repeats when trials outnumber them
    double startKeyMs = 500;        // after the title appeared
    double escapeMs = -1;           // >= 0: start-up mode, Escape this long after the title
    double timeoutS = 600;
    std::string outFile;
    std::vector<char*> command;
};

uint32_t ParseColour(const char* text) { return static_cast<uint32_t>(std::strtoul(text, nullptr, 16)); }

std::vector<double> ReadDelays(const char* path) {
    std::vector<double> delays;
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) Fail("cannot read the delay file");
    double value = 0;
    while (std::fscanf(file, "%lf", &value) == 1) delays.push_back(value);
    std::fclose(file);
    if (delays.empty()) Fail("the delay file holds no delay");
    return delays;
}

void Usage() {
    std::fprintf(stderr,
                 "usage: rtp_bench_probe --fb FILE [--x X --y Y] [--poll-us N] [--hold-ms MS] --title RRGGBB\n"
                 "         [--stim RRGGBB ...] [--delays FILE] [--start-key-ms MS] [--escape-ms MS]\n"
                 "         [--timeout S] --out FILE -- PROGRAM [ARGS...]\n");
    std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    int i = 1;
    auto value = [&]() -> const char* {
        if (i + 1 >= argc) Usage();
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            for (int k = i + 1; k < argc; ++k) options.command.push_back(argv[k]);
            break;
        }
        if (arg == "--fb") options.fbFile = value();
        else if (arg == "--x") options.x = std::atoi(value());
        else if (arg == "--y") options.y = std::atoi(value());
        else if (arg == "--poll-us") options.pollNs = static_cast<int64_t>(std::atof(value()) * 1000);
        else if (arg == "--hold-ms") options.holdNs = static_cast<int64_t>(std::atof(value()) * 1e6);
        else if (arg == "--title") options.titleColour = ParseColour(value());
        else if (arg == "--stim") options.stimColours.push_back(ParseColour(value()));
        else if (arg == "--delays") options.delaysMs = ReadDelays(value());
        else if (arg == "--start-key-ms") options.startKeyMs = std::atof(value());
        else if (arg == "--escape-ms") options.escapeMs = std::atof(value());
        else if (arg == "--timeout") options.timeoutS = std::atof(value());
        else if (arg == "--out") options.outFile = value();
        else Usage();
    }
    if (options.fbFile.empty() || options.outFile.empty() || options.command.empty()) Usage();
    if (options.escapeMs < 0 && (options.stimColours.empty() || options.delaysMs.empty())) Usage();
    options.command.push_back(nullptr);
    return options;
}

// The program under test must not inherit the probe's real-time priority.
pid_t Launch(std::vector<char*>& command) {
    const pid_t pid = fork();
    if (pid < 0) Fail("fork failed");
    if (pid == 0) {
        sched_param normal{};
        sched_setscheduler(0, SCHED_OTHER, &normal);
        setpgid(0, 0);
        execvp(command[0], command.data());
        std::perror("rtp_bench_probe: exec");
        _exit(127);
    }
    setpgid(pid, pid);
    return pid;
}

struct PendingKey {
    int64_t dueNs = -1;  // -1: none
    KeySym key = 0;
    int trial = -1;     // -1: the start key or Escape
    int64_t onsetNs = 0;
};

// A press that changes nothing on the screen for this long was taken before the program
// listened (a stall); it is pressed again, so that the run goes on, and logged as a repeat.
constexpr int64_t kRepressNs = 2000000000;

}  // namespace

int main(int argc, char** argv) {
    Options options = ParseOptions(argc, argv);
    signal(SIGINT, OnSignal);
    signal(SIGTERM, OnSignal);

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) Fail("cannot open the X display");
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) Fail("no XTest extension");
    const Framebuffer fb = MapFramebuffer(options.fbFile.c_str(), options.x, options.y);

    // Events are kept in memory and written at the end, so the watch loop does no I/O.
    struct Event {
        char kind;       // 'p' pixel change, 'k' key press, 'r' the same key pressed again
        int64_t atNs;    // pixel: first read that saw the new value; key: just before the press
        int64_t prevNs;  // pixel: the last read that saw the old value; key: the onset it answers
        uint32_t value;  // pixel colour; key: keysym
        int trial;
    };
    std::vector<Event> events;
    events.reserve(1 << 16);

    uint32_t last = ReadPixel(fb);
    const int64_t startNs = NowNs();
    const pid_t child = Launch(options.command);
    events.push_back(Event{'p', startNs, startNs, last, -1});

    const int64_t deadlineNs = startNs + static_cast<int64_t>(options.timeoutS * 1e9);
    int64_t previousRead = startNs;
    int64_t next = startNs;
    int64_t lastChangeNs = startNs;
    // Each wake-up costs the machine tens of microseconds (timer exits on a virtual machine); right
    // after a change, when no screen of the experiment ends yet, a slower pace leaves that time to
    // the program under test. Key presses keep their exact times either way.
    constexpr int64_t kRestingPollNs = 1000000;
    PendingKey pending;
    PendingKey lastPress;  // the last key pressed, until the screen changes
    bool titleSeen = false;
    bool startSent = false;
    int stimCount = 0;
    int status = 0;
    bool exited = false;
    bool timedOut = false;
    int64_t exitNs = 0;
    uint64_t loops = 0;

    while (!g_stop) {
        next += previousRead - lastChangeNs < options.holdNs ? kRestingPollNs : options.pollNs;
        const int64_t wake = pending.dueNs >= 0 && pending.dueNs < next ? pending.dueNs : next;
        const timespec until = ToTimespec(wake);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR && !g_stop) {
        }
        const int64_t now = NowNs();
        if (next < now) next = now;  // fell behind: no burst of catch-up reads

        if (pending.dueNs >= 0 && now >= pending.dueNs) {
            const KeyCode code = XKeysymToKeycode(display, pending.key);
            const int64_t pressNs = NowNs();
            XTestFakeKeyEvent(display, code, True, 0);
            XTestFakeKeyEvent(display, code, False, 0);
            XFlush(display);
            events.push_back(Event{pending.dueNs == lastPress.dueNs && lastPress.dueNs >= 0 ? 'r' : 'k', pressNs,
                                   pending.onsetNs, static_cast<uint32_t>(pending.key), pending.trial});
            lastPress = pending;
            pending.dueNs = -1;
        } else if (pending.dueNs < 0 && lastPress.dueNs >= 0 && now - lastPress.dueNs > kRepressNs) {
            lastPress.dueNs = now;
            pending = lastPress;
            continue;
        }

        const int64_t readNs = NowNs();
        const uint32_t value = ReadPixel(fb);
        if (value != last) {
            lastPress.dueNs = -1;
            lastChangeNs = readNs;
            events.push_back(Event{'p', readNs, previousRead, value, -1});
            last = value;
            const int64_t onset = previousRead + (readNs - previousRead) / 2;
            if (value == options.titleColour && !titleSeen) {
                titleSeen = true;
                if (options.escapeMs >= 0) {
                    pending = PendingKey{onset + static_cast<int64_t>(options.escapeMs * 1e6), XK_Escape, -1, onset};
                } else {
                    pending = PendingKey{onset + static_cast<int64_t>(options.startKeyMs * 1e6), XK_d, -1, onset};
                    startSent = true;
                }
            } else if (startSent) {
                for (uint32_t colour : options.stimColours) {
                    if (value != colour) continue;
                    const int trial = stimCount++;
                    const size_t index = static_cast<size_t>(trial) < options.delaysMs.size()
                                             ? static_cast<size_t>(trial)
                                             : options.delaysMs.size() - 1;
                    // Alternate sides, so the answers in the result file show which key landed.
                    const KeySym key = trial % 2 == 0 ? XK_d : XK_j;
                    pending = PendingKey{onset + static_cast<int64_t>(options.delaysMs[index] * 1e6), key, trial, onset};
                    break;
                }
            }
        }
        previousRead = readNs;

        if ((++loops & 255) == 0) {
            const pid_t done = waitpid(child, &status, WNOHANG);
            if (done == child) {
                exited = true;
                exitNs = NowNs();
                break;
            }
            if (now > deadlineNs) {
                timedOut = true;
                break;
            }
        }
    }
    if (!exited) {
        kill(-child, SIGTERM);
        waitpid(child, &status, 0);
        exitNs = NowNs();
    }
    XCloseDisplay(display);

    FILE* out = std::fopen(options.outFile.c_str(), "w");
    if (out == nullptr) Fail("cannot write the event file");
    timespec mono{}, raw{};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    clock_gettime(CLOCK_MONOTONIC_RAW, &raw);
    std::fprintf(out, "start %lld\n", static_cast<long long>(startNs));
    // Wine's performance counter runs on the raw clock; this pair lets its stamps be compared.
    std::fprintf(out, "clocks %lld %lld\n", static_cast<long long>(mono.tv_sec) * 1000000000 + mono.tv_nsec,
                 static_cast<long long>(raw.tv_sec) * 1000000000 + raw.tv_nsec);
    for (const Event& e : events) {
        if (e.kind == 'p') {
            std::fprintf(out, "pix %lld %lld %06x\n", static_cast<long long>(e.atNs), static_cast<long long>(e.prevNs),
                         e.value);
        } else {
            std::fprintf(out, "%s %lld %lld %d %s\n", e.kind == 'k' ? "key" : "repress", static_cast<long long>(e.atNs),
                         static_cast<long long>(e.prevNs), e.trial, XKeysymToString(static_cast<KeySym>(e.value)));
        }
    }
    const int code = exited ? (WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) : -1;
    std::fprintf(out, "exit %lld %d %s\n", static_cast<long long>(exitNs), code,
                 timedOut ? "timeout" : (exited ? "exited" : "stopped"));
    std::fclose(out);
    if (timedOut) std::fprintf(stderr, "rtp_bench_probe: the program did not end within %.0f s\n", options.timeoutS);
    return exited && code == 0 ? 0 : 1;
}
