// Reads setup.txt as raw bytes and cuts it into lines of tokens, identically on every platform.
#include "setup/setup_reader.h"

#include <cstdio>

namespace {

constexpr unsigned char kLineFeed = 10;
constexpr unsigned char kCarriageReturn = 13;
constexpr unsigned char kEndOfText = 26;  // Ctrl-Z ends the input, as text-mode reading does

bool IsSetupSpace(unsigned char byte) {
    return byte == 32 || byte == 9 || byte == 11 || byte == 12 || byte == 13;
}

void AppendTokenLine(const std::string& line, std::vector<TokenLine>& lines) {
    TokenLine tokens;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsSetupSpace(static_cast<unsigned char>(line[i]))) ++i;
        const size_t start = i;
        while (i < line.size() && !IsSetupSpace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) tokens.emplace_back(line, start, i - start);
    }
    lines.push_back(std::move(tokens));
}

}  // namespace

void AppendSetupLines(const char* bytes, size_t count, std::vector<TokenLine>& lines) {
    std::string line;
    for (size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == kEndOfText) break;
        // CR LF reads as LF; a CR on its own stays in the line.
        if (byte == kCarriageReturn && i + 1 < count && static_cast<unsigned char>(bytes[i + 1]) == kLineFeed)
            continue;
        if (byte == kLineFeed) {
            if (!line.empty()) AppendTokenLine(line, lines);
            line.clear();
            continue;
        }
        line.push_back(static_cast<char>(byte));
    }
    if (!line.empty()) AppendTokenLine(line, lines);
}

bool ReadSetupFile(std::vector<TokenLine>& lines) {
    std::FILE* file = std::fopen("setup.txt", "rb");
    if (file == nullptr) return false;
    std::string content;
    char buffer[1 << 16];
    size_t got;
    // A read error ends the input like the end of the file: what was read still counts.
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    std::fclose(file);
    AppendSetupLines(content.data(), content.size(), lines);
    return true;
}
