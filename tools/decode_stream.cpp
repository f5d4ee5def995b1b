#include "decode_stream.h"

namespace canxlate::cli {

namespace {
// Lines between two progress checks: the check reads the clock.
constexpr uint64_t kProgressCheckMask = 0x3FFF;
}  // namespace

bool decodeStream(BlockLineReader& reader, LogDecoder& decoder, const MalformedLineHandler& onMalformed,
                  ProgressIndicator* progress) {
    std::string_view line;
    uint64_t lineNumber = 0;
    while (reader.nextLine(line)) {
        ++lineNumber;
        if (const std::string_view problem = decoder.decodeLine(line); !problem.empty())
            onMalformed(lineNumber, problem);
        if (progress != nullptr && (lineNumber & kProgressCheckMask) == 0)
            progress->update(reader.bytesConsumed(), decoder.counts().framesRead);
    }
    if (progress != nullptr) progress->finish();
    return reader.readError() == 0;
}

}  // namespace canxlate::cli
