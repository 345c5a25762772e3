// Applies the keys of setup.txt, bottom line first, and centres the stimulus rectangle.
#include "setup/setup_keys.h"

#include <climits>

namespace {

uint8_t Low8(int32_t value) { return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu); }

// Signed 32-bit sum or difference with wrap-around instead of overflow.
int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

ImageGroup GroupFromLine(const TokenLine& line) {
    ImageGroup group;
    group.name = line[1];
    group.pattern = line[2];
    group.first = ParseSetupNumber(line[3]);
    group.last = ParseSetupNumber(line[4]);
    const char side = line[5][0];
    group.side = side == 'L' ? 0 : side == 'R' ? 1 : -1;
    if (line.size() >= 7) group.condition = line[6];
    return group;
}

// True when the line matched a key with an accepted token count and was applied.
bool ApplyLine(Presenter& presenter, const TokenLine& line) {
    Setup& setup = presenter.setup;
    const std::string& key = line[0];
    const size_t count = line.size();
    if (count == 2) {
        if (key == "topImage") return setup.titleImagePath = line[1], true;
        if (key == "blankImage") return setup.blankImagePath = line[1], true;
        if (key == "fixImage") return setup.fixImagePath = line[1], true;
        if (key == "label") return setup.label = line[1], true;
        if (key == "shuffle") return setup.shuffle = Low8(ParseSetupNumber(line[1])), true;
        if (key == "repeat") return setup.repeat = ParseSetupNumber(line[1]), true;
        if (key == "blankms") return setup.blankMs = ParseSetupNumber(line[1]), true;
        if (key == "limitms") return setup.limitMs = ParseSetupNumber(line[1]), true;
    }
    if (key == "imageGroup" && count >= 6) {
        setup.groups.push_back(GroupFromLine(line));
        return true;
    }
    if (key == "fixms" && count >= 2) {
        for (size_t i = 1; i < count; ++i) setup.fixMs.push_back(ParseSetupNumber(line[i]));
        return true;
    }
    if (key == "bgColor" && count == 4) {
        for (int i = 0; i < 3; ++i) presenter.bgColor[i] = Low8(ParseSetupNumber(line[i + 1]));
        return true;
    }
    if (key == "imageSize" && count == 3) {
        presenter.imageWidth = ParseSetupNumber(line[1]);
        presenter.imageHeight = ParseSetupNumber(line[2]);
        return true;
    }
    return false;
}

}  // namespace

int32_t ParseSetupNumber(const std::string& token) {
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    int64_t value = 0;
    for (; i < token.size() && token[i] >= '0' && token[i] <= '9'; ++i) {
        value = value * 10 + (token[i] - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;  // saturates
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool ApplySetupLines(Presenter& presenter, const std::vector<TokenLine>& lines) {
    // Bottom to top: of two lines with the same key the upper one is applied last and wins.
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (!line->empty()) ApplyLine(presenter, *line);
    }
    if (presenter.setup.groups.empty()) return false;
    const int64_t width = presenter.clientRect.right;
    const int64_t height = presenter.clientRect.bottom;
    const int64_t w = presenter.imageWidth;
    const int64_t h = presenter.imageHeight;
    // Signed division truncates toward zero, as the centring has always done.
    presenter.stimulusRect.left = Wrap(width - w) / 2;
    presenter.stimulusRect.top = Wrap(height - h) / 2;
    presenter.stimulusRect.right = Wrap(width + w) / 2;
    presenter.stimulusRect.bottom = Wrap(height + h) / 2;
    return true;
}

bool ApplySetup(Presenter& presenter) {
    std::vector<TokenLine> lines;
    ReadSetupFile(lines);  // a missing file reads as one without lines
    return ApplySetupLines(presenter, lines);
}
