// The decoding loop: every line of the input through the decoder, with
// malformed lines handed to the caller and progress reported on the way.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "block_line_reader.h"
#include "log_decoder.h"
#include "progress_indicator.h"

namespace canxlate::cli {

// Called for each malformed line with its 1-based number and the problem.
using MalformedLineHandler = std::function<void(uint64_t lineNumber, std::string_view problem)>;

// Returns false when reading the input failed (reader.readError() says why).
bool decodeStream(BlockLineReader& reader, LogDecoder& decoder, const MalformedLineHandler& onMalformed,
                  ProgressIndicator* progress);

}  // namespace canxlate::cli
