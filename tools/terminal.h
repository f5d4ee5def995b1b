// What the program asks of its surroundings that POSIX and Windows spell
// differently.
#pragma once

#include <cstdint>
#include <string>

namespace canxlate::cli {

// Whether a progress line belongs on standard error: it is a terminal and
// standard output is not.
bool showsProgress();

// The size of a regular file, else 0 (standard input, pipes, missing files).
uint64_t regularFileSize(const std::string& path);

}  // namespace canxlate::cli
