// Counter, yield, threads, calendar time and files on POSIX systems.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <new>

#include "platform/platform.h"
#include "platform/posix/posix_file.h"

namespace plat {

struct Thread {
    pthread_t id;
    ThreadEntry entry;
    void* argument;
};

struct File {
    int fd;
};

namespace {

void* RunThread(void* raw) {
    Thread* thread = static_cast<Thread*>(raw);
    thread->entry(thread->argument);
    return nullptr;
}

// The niceness of the program's threads during a run.
constexpr int kRaisedNice = -10;

// What the calling thread had before it was raised, so that "off" can put it back.
thread_local bool t_raised = false;
thread_local bool t_niceChanged = false;
thread_local int t_previousNice = 0;

// setpriority on a thread id affects that thread alone on Linux.
id_t CurrentThreadId() {
    return static_cast<id_t>(syscall(SYS_gettid));
}

}  // namespace

int64_t CounterNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + static_cast<int64_t>(now.tv_nsec);
}

int64_t CounterFrequency() {
    return 1000000000;
}

void YieldThread() {
    sched_yield();
}

ThreadHandle StartThread(ThreadEntry entry, void* argument) {
    if (entry == nullptr) {
        return nullptr;
    }
    Thread* thread = new (std::nothrow) Thread{};
    if (thread == nullptr) {
        return nullptr;
    }
    thread->entry = entry;
    thread->argument = argument;
    if (pthread_create(&thread->id, nullptr, RunThread, thread) != 0) {
        delete thread;
        return nullptr;
    }
    return thread;
}

void JoinThread(ThreadHandle thread) {
    if (thread == nullptr) {
        return;
    }
    pthread_join(thread->id, nullptr);
    delete thread;
}

void SetCurrentThreadTimeCritical(bool on) {
    if (on) {
        if (t_raised) {
            return;
        }
        t_raised = true;
        // A lower nice value, not real-time scheduling: the worker busy-waits, and a real-time
        // spinner leaves the X server and the window thread to share what remains of the
        // machine (measured: stalls of 50 ms to a second on two cores). Not permitted: nothing.
        errno = 0;
        const int previous = getpriority(PRIO_PROCESS, CurrentThreadId());
        if (previous == -1 && errno != 0) {
            return;
        }
        if (previous > kRaisedNice && setpriority(PRIO_PROCESS, CurrentThreadId(), kRaisedNice) == 0) {
            t_niceChanged = true;
            t_previousNice = previous;
        }
        return;
    }
    if (!t_raised) {
        return;
    }
    t_raised = false;
    if (t_niceChanged) {
        setpriority(PRIO_PROCESS, CurrentThreadId(), t_previousNice);
        t_niceChanged = false;
    }
}

int64_t CalendarSeconds() {
    return static_cast<int64_t>(time(nullptr));
}

bool ToLocalTime(int64_t calendarSeconds, LocalDateTime* out) {
    if (out == nullptr) {
        return false;
    }
    const time_t seconds = static_cast<time_t>(calendarSeconds);
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return false;
    }
    out->year = local.tm_year + 1900;
    out->month = local.tm_mon + 1;
    out->day = local.tm_mday;
    out->hour = local.tm_hour;
    out->minute = local.tm_min;
    out->second = local.tm_sec;
    return true;
}

FileHandle AdoptFileDescriptor(int fd) {
    if (fd < 0) {
        return nullptr;
    }
    return new File{fd};
}

FileHandle CreateNewFile(const char* name, bool* nameTaken) {
    if (nameTaken != nullptr) {
        *nameTaken = false;
    }
    if (name == nullptr) {
        return nullptr;
    }
    int fd = -1;
    do {
        fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EEXIST && nameTaken != nullptr) {
            *nameTaken = true;
        }
        return nullptr;
    }
    return AdoptFileDescriptor(fd);
}

bool WriteToFile(FileHandle file, const void* bytes, size_t count) {
    if (file == nullptr || (bytes == nullptr && count != 0)) {
        return false;
    }
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        const size_t chunk = count < static_cast<size_t>(SSIZE_MAX) ? count : static_cast<size_t>(SSIZE_MAX);
        const ssize_t written = write(file->fd, next, chunk);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (written == 0) {
            // No progress and no error: give up rather than spin.
            return false;
        }
        next += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool FlushFileToDisk(FileHandle file) {
    if (file == nullptr) {
        return false;
    }
    return fsync(file->fd) == 0;
}

bool CloseFile(FileHandle file) {
    if (file == nullptr) {
        return true;
    }
    // The descriptor is gone after close even when it reports an error; never retry.
    const bool ok = close(file->fd) == 0;
    delete file;
    return ok;
}

}  // namespace plat
