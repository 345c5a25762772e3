// Windows services: performance counter, yield, worker threads, calendar time and result files.
#include <windows.h>

#include <process.h>

#include <ctime>
#include <limits>

#include "platform/platform.h"

namespace plat {

namespace {

HANDLE AsWin(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

// What the runtime's thread start carries to the new thread; freed there before the entry runs.
struct ThreadLaunch {
    ThreadEntry entry;
    void* argument;
};

unsigned __stdcall ThreadLaunchEntry(void* raw) {
    ThreadLaunch launch = *static_cast<ThreadLaunch*>(raw);
    delete static_cast<ThreadLaunch*>(raw);
    launch.entry(launch.argument);
    return 0;
}

// What the time-critical phase changed, so that its end restores exactly that.
thread_local bool t_raised = false;
thread_local int t_threadPriorityBefore = THREAD_PRIORITY_NORMAL;
DWORD g_priorityClassBefore = 0;  // 0: the class was left alone

}  // namespace

int64_t CounterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t CounterFrequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

void YieldThread() { Sleep(0); }

ThreadHandle StartThread(ThreadEntry entry, void* argument) {
    auto* launch = new ThreadLaunch{entry, argument};
    uintptr_t handle = _beginthreadex(nullptr, 0, ThreadLaunchEntry, launch, 0, nullptr);
    if (handle == 0) {
        delete launch;
        return nullptr;
    }
    return reinterpret_cast<ThreadHandle>(handle);
}

void JoinThread(ThreadHandle thread) {
    if (thread == nullptr) return;
    HANDLE handle = reinterpret_cast<HANDLE>(thread);
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
}

// A time-critical thread of a normal-class process already sits at the top of the dynamic
// range; raising the class as well lifts the main thread, which stamps paints and keys,
// above ordinary desktop work.
void SetCurrentThreadTimeCritical(bool on) {
    HANDLE process = GetCurrentProcess();
    HANDLE thread = GetCurrentThread();
    if (on) {
        if (t_raised) return;
        t_raised = true;
        t_threadPriorityBefore = GetThreadPriority(thread);
        DWORD before = GetPriorityClass(process);
        if (before != HIGH_PRIORITY_CLASS && before != REALTIME_PRIORITY_CLASS &&
            SetPriorityClass(process, HIGH_PRIORITY_CLASS))
            g_priorityClassBefore = before;
        SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
        return;
    }
    if (!t_raised) return;
    t_raised = false;
    SetThreadPriority(thread, t_threadPriorityBefore == THREAD_PRIORITY_ERROR_RETURN
                                  ? THREAD_PRIORITY_NORMAL
                                  : t_threadPriorityBefore);
    if (g_priorityClassBefore != 0) {
        SetPriorityClass(process, g_priorityClassBefore);
        g_priorityClassBefore = 0;
    }
}

int64_t CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

bool ToLocalTime(int64_t calendarSeconds, LocalDateTime* out) {
    __time64_t seconds = calendarSeconds;
    std::tm local{};
    if (_localtime64_s(&local, &seconds) != 0) return false;
    out->year = local.tm_year + 1900;
    out->month = local.tm_mon + 1;
    out->day = local.tm_mday;
    out->hour = local.tm_hour;
    out->minute = local.tm_min;
    out->second = local.tm_sec;
    return true;
}

FileHandle CreateNewFile(const char* name, bool* nameTaken) {
    if (nameTaken != nullptr) *nameTaken = false;
    if (name == nullptr) return nullptr;
    HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (nameTaken != nullptr)
            *nameTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    return reinterpret_cast<FileHandle>(file);
}

bool WriteToFile(FileHandle file, const void* bytes, size_t count) {
    if (file == nullptr || (bytes == nullptr && count != 0)) return false;
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        // WriteFile takes a 32-bit length; larger blocks go in pieces.
        DWORD piece = count > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max()
                                                                : static_cast<DWORD>(count);
        DWORD written = 0;
        if (!WriteFile(AsWin(file), next, piece, &written, nullptr) || written == 0) return false;
        next += written;
        count -= written;
    }
    return true;
}

bool FlushFileToDisk(FileHandle file) {
    if (file == nullptr) return false;
    return FlushFileBuffers(AsWin(file)) != 0;
}

bool CloseFile(FileHandle file) {
    if (file == nullptr) return true;
    return CloseHandle(AsWin(file)) != 0;
}

}  // namespace plat
