// Writes the dated result file: a header and one CR LF line per trial, each handed to the system at once.
#include "results/results.h"

#include <charconv>
#include <cstdio>

namespace {

// Beyond this many taken names something other than a same-second collision is wrong.
constexpr int kMaxNameSuffix = 9999;

template <typename Number>
void AppendNumber(std::string& line, Number value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    line.append(digits, result.ptr);
}

bool WriteLine(plat::FileHandle file, const std::string& line) {
    return plat::WriteToFile(file, line.data(), line.size());
}

}  // namespace

std::string ResultFileName(const plat::LocalDateTime& time) {
    char name[64];
    std::snprintf(name, sizeof name, "result%d%02d%02d_%02d%02d_%02d.csv", static_cast<int>(time.year),
                  static_cast<int>(time.month), static_cast<int>(time.day), static_cast<int>(time.hour),
                  static_cast<int>(time.minute), static_cast<int>(time.second));
    return name;
}

plat::FileHandle CreateResultFile(const std::string& baseName, std::string* usedName) {
    const std::string stem = baseName.substr(0, baseName.size() - 4);  // without ".csv"
    std::string name = baseName;
    for (int suffix = 2;; ++suffix) {
        bool taken = false;
        plat::FileHandle file = plat::CreateNewFile(name.c_str(), &taken);
        if (file != nullptr) {
            *usedName = name;
            return file;
        }
        if (!taken || suffix > kMaxNameSuffix) return nullptr;
        name = stem + "_" + std::to_string(suffix) + ".csv";
    }
}

bool WriteResultLines(const Presenter& presenter, plat::FileHandle file) {
    if (!WriteLine(file, "num," + presenter.setup.label + ",ans(L:0 R:1),rt\r\n")) return false;
    std::string line;
    for (int32_t i = 0; i < presenter.trialCount; ++i) {
        const Trial& trial = presenter.trials[i];
        line.clear();
        AppendNumber(line, i + 1);
        line.push_back(',');
        line += *trial.stimulus->condition;
        line.push_back(',');
        AppendNumber(line, trial.answer);
        line.push_back(',');
        AppendNumber(line, trial.rtMs);
        line += ",\r\n";
        if (!WriteLine(file, line)) return false;
    }
    return true;
}

bool WriteResults(const Presenter& presenter) {
    plat::LocalDateTime now{};
    if (!plat::ToLocalTime(plat::CalendarSeconds(), &now)) return false;
    std::string name;
    plat::FileHandle file = CreateResultFile(ResultFileName(now), &name);
    if (file == nullptr) return false;
    bool written = WriteResultLines(presenter, file);
    // Only data that reached the disk counts as saved.
    written = plat::FlushFileToDisk(file) && written;
    return plat::CloseFile(file) && written;
}
