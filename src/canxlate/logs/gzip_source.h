// The text inside a gzip-compressed log (.asc.gz, .log.gz), as a byte source.
// Members written one after another read as one text, as gzip has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "canxlate/logs/byte_source.h"

namespace canxlate::logs {

// The first two bytes of every gzip member.
bool startsLikeGzip(const uint8_t* bytes, std::size_t size);

class GzipSource final : public ByteSource {
public:
    explicit GzipSource(ByteSource& compressed);
    ~GzipSource() override;
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    std::size_t read(void* buffer, std::size_t size) override;
    // The compressed source's errno, or EILSEQ for data that is not gzip.
    int error() const override;
    // Compressed bytes taken from the source, for progress reports.
    uint64_t compressedConsumed() const { return compressedConsumed_; }

private:
    struct Inflater;
    ByteSource& compressed_;
    std::unique_ptr<Inflater> inflater_;
    uint64_t compressedConsumed_ = 0;
    int error_ = 0;
};

}  // namespace canxlate::logs
