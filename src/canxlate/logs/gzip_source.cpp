#include "canxlate/logs/gzip_source.h"

#include <cerrno>
#include <vector>

#ifdef CANXLATE_HAVE_ZLIB
#  include <zlib.h>
#endif

namespace canxlate::logs {

bool startsLikeGzip(const uint8_t* bytes, std::size_t size) {
    return size >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B;
}

#ifdef CANXLATE_HAVE_ZLIB

struct GzipSource::Inflater {
    z_stream stream{};
    bool ready = false;
    bool endOfInput = false;
    std::vector<uint8_t> input = std::vector<uint8_t>(std::size_t{1} << 16);
};

GzipSource::GzipSource(ByteSource& compressed) : compressed_(compressed), inflater_(std::make_unique<Inflater>()) {
    inflater_->ready = inflateInit2(&inflater_->stream, 16 + MAX_WBITS) == Z_OK;  // 16: gzip wrapper
    if (!inflater_->ready) error_ = ENOMEM;
}

GzipSource::~GzipSource() {
    if (inflater_->ready) inflateEnd(&inflater_->stream);
}

std::size_t GzipSource::read(void* buffer, std::size_t size) {
    if (error_ != 0 || size == 0) return 0;
    z_stream& stream = inflater_->stream;
    stream.next_out = static_cast<Bytef*>(buffer);
    stream.avail_out = static_cast<uInt>(size > (1u << 30) ? (1u << 30) : size);
    const uInt wanted = stream.avail_out;
    while (stream.avail_out == wanted) {
        if (stream.avail_in == 0) {
            if (inflater_->endOfInput) break;
            const std::size_t got = compressed_.read(inflater_->input.data(), inflater_->input.size());
            compressedConsumed_ += got;
            if (got == 0) {
                inflater_->endOfInput = true;
                break;
            }
            stream.next_in = inflater_->input.data();
            stream.avail_in = static_cast<uInt>(got);
        }
        const int result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            // Another member may follow; trailing zero bytes are padding.
            while (stream.avail_in > 0 && *stream.next_in == 0) {
                ++stream.next_in;
                --stream.avail_in;
            }
            if (inflateReset(&stream) != Z_OK) error_ = EILSEQ;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            error_ = EILSEQ;
            break;
        }
    }
    const std::size_t produced = wanted - stream.avail_out;
    if (produced == 0 && inflater_->endOfInput && error_ == 0 && compressed_.error() == 0 && stream.total_in != 0)
        error_ = EILSEQ;  // cut off inside a member
    return produced;
}

int GzipSource::error() const { return error_ != 0 ? error_ : compressed_.error(); }

#else

struct GzipSource::Inflater {};

GzipSource::GzipSource(ByteSource& compressed) : compressed_(compressed), error_(ENOSYS) {}
GzipSource::~GzipSource() = default;
std::size_t GzipSource::read(void*, std::size_t) { return 0; }
int GzipSource::error() const { return error_; }

#endif

}  // namespace canxlate::logs
