// Reads setup.txt into lines of white-space-separated byte tokens.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// One line of setup.txt cut into tokens, in the order they stand.
using TokenLine = std::vector<std::string>;

// Appends the lines of "setup.txt" in the working directory; false when it cannot be opened.
bool ReadSetupFile(std::vector<TokenLine>& lines);

// The same cutting applied to bytes already in memory (a whole file's content).
void AppendSetupLines(const char* bytes, size_t count, std::vector<TokenLine>& lines);
