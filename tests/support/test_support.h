// Small helpers shared by the tests: a scratch working directory and whole-file I/O.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// Makes a fresh empty directory the working directory for the guard's lifetime.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

void WriteBytes(const std::string& name, const std::string& bytes);
std::string ReadBytes(const std::string& name);
// File names in the working directory, sorted.
std::vector<std::string> FilesHere();

}  // namespace testing_support
