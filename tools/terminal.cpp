#include "terminal.h"

#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#  include <fcntl.h>
#  include <io.h>
#  define CANXLATE_ISATTY _isatty
#else
#  include <unistd.h>
#  define CANXLATE_ISATTY isatty
#endif

namespace canxlate::cli {

bool showsProgress() { return CANXLATE_ISATTY(2) != 0 && CANXLATE_ISATTY(1) == 0; }

void useBinaryStandardStreams() {
#if defined(_WIN32)
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
#endif
}

uint64_t regularFileSize(const std::string& path) {
    std::error_code error;
    if (path == "-" || !std::filesystem::is_regular_file(path, error)) return 0;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<uint64_t>(size);
}

}  // namespace canxlate::cli
