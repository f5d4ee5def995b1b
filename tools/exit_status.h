// The program's exit statuses.
#pragma once

namespace canxlate::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // an error, reported on standard error
inline constexpr int kExitUsage = 2;    // wrong arguments

}  // namespace canxlate::cli
