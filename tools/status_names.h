// Names of the library's status codes, for messages that a user can look up
// in the public header.
#pragma once

#include <cstdint>
#include <string>

namespace canxlate::cli {

// "kErrFileFormat" for -8706; a code the header does not define comes back as
// its number, so that nothing is hidden.
std::string statusName(int32_t status);

}  // namespace canxlate::cli
