// Runs the canxlate program as a process, as a user would, and collects its
// exit status and both output streams.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace canxlate::test {

struct ProgramResult {
    int exitStatus = -1;  // 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

// A fresh directory for one test's files, removed afterwards.
class ScratchDirectory {
public:
    ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    ~ScratchDirectory();

    const std::filesystem::path& path() const { return path_; }
    // Writes a file in the directory and returns its path.
    std::string write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path path_;
};

// Runs the program with the arguments, standard input from stdinText.
ProgramResult runProgram(const std::vector<std::string>& arguments, const std::string& stdinText = "");

std::string programPath();
std::string examplePath(const std::string& name);

// Lines of a text, without their line feeds.
std::vector<std::string> splitLines(const std::string& text);

}  // namespace canxlate::test
