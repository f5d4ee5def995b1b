// What the program asks of its surroundings that POSIX and Windows spell
// differently.
#pragma once

#include <cstdint>
#include <string>

namespace canxlate::cli {

// Whether a progress line belongs on standard error: it is a terminal and
// standard output is not.
bool showsProgress();

// Standard input and output in binary mode where that is not the rule
// (Windows): BLF logs pass through them, and text is written with line feeds
// as on every other system.
void useBinaryStandardStreams();

// The size of a regular file, else 0 (standard input, pipes, missing files).
uint64_t regularFileSize(const std::string& path);

}  // namespace canxlate::cli
