// Formats image file names from a group's pattern without ever handing the pattern to printf.
#include "stimuli/image_name.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of digits; false when the number could not fit in a name of the allowed length.
bool ReadCount(const std::string& pattern, size_t& i, int& value) {
    value = 0;
    while (i < pattern.size() && IsDigit(pattern[i])) {
        value = value * 10 + (pattern[i] - '0');
        if (value > static_cast<int>(kMaxImageNameBytes)) return false;
        ++i;
    }
    return true;
}

}  // namespace

bool FormatImageName(const std::string& pattern, int32_t number, std::string* name) {
    std::string out;
    bool converted = false;
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\0') return false;
        if (c != '%') {
            out.push_back(c);
            ++i;
            continue;
        }
        ++i;
        if (i < pattern.size() && pattern[i] == '%') {
            out.push_back('%');
            ++i;
            continue;
        }
        if (converted) return false;  // one number, one conversion
        converted = true;

        // %[flags][width][.precision][length]conversion, rebuilt from parts we checked.
        std::string format = "%";
        while (i < pattern.size() && std::strchr("-+ #0", pattern[i]) != nullptr && pattern[i] != '\0')
            format.push_back(pattern[i++]);
        int width = 0;
        if (!ReadCount(pattern, i, width)) return false;
        if (width > 0) format += std::to_string(width);
        if (i < pattern.size() && pattern[i] == '.') {
            ++i;
            int precision = 0;
            if (!ReadCount(pattern, i, precision)) return false;
            format.push_back('.');
            format += std::to_string(precision);
        }
        // The argument is an int: h and hh narrow it, the wider letters leave it as it is.
        int bits = 32;
        if (i + 1 < pattern.size() && pattern[i] == 'h' && pattern[i + 1] == 'h') {
            bits = 8;
            i += 2;
        } else if (i < pattern.size() && pattern[i] == 'h') {
            bits = 16;
            ++i;
        } else if (i + 1 < pattern.size() && pattern[i] == 'l' && pattern[i + 1] == 'l') {
            i += 2;
        } else if (i < pattern.size() && std::strchr("ljzt", pattern[i]) != nullptr && pattern[i] != '\0') {
            ++i;
        }
        if (i >= pattern.size()) return false;
        const char conversion = pattern[i++];
        char buffer[kMaxImageNameBytes + 2];
        int written;
        if (conversion == 'd' || conversion == 'i') {
            const int value = bits == 8 ? static_cast<signed char>(number)
                              : bits == 16 ? static_cast<short>(number) : number;
            format.push_back('d');
            written = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
        } else if (conversion == 'u' || conversion == 'o' || conversion == 'x' || conversion == 'X') {
            const auto raw = static_cast<unsigned int>(number);
            const unsigned int value = bits == 8 ? (raw & 0xFFu) : bits == 16 ? (raw & 0xFFFFu) : raw;
            format.push_back(conversion);
            written = std::snprintf(buffer, sizeof buffer, format.c_str(), value);
        } else {
            return false;
        }
        if (written < 0 || static_cast<size_t>(written) > kMaxImageNameBytes) return false;
        out.append(buffer, static_cast<size_t>(written));
    }
    if (out.size() > kMaxImageNameBytes) return false;
    *name = std::move(out);
    return true;
}
