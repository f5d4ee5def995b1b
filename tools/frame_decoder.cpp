#include "frame_decoder.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "can_id_text.h"
#include "csv_field.h"
#include "database.h"
#include "decimal_digits.h"
#include "json_string.h"
#include "printable_text.h"
#include "shortest_double.h"
#include "uninitialized_array.h"

namespace canxlate::cli {

namespace {

// Most pieces of a frame's output (labels, units, heads) are short: kept with
// room to read past their end, each is copied as two fixed moves, with no
// test of its length that a mix of signals would mispredict.
constexpr std::size_t kShortPiece = 32;

class Piece {
public:
    Piece& operator=(const std::string& text) {
        size_ = text.size();
        std::memset(inPlace_, 0, kShortPiece);
        if (size_ <= kShortPiece) {
            std::memcpy(inPlace_, text.data(), size_);
            outOfPlace_.reset();
        } else {
            outOfPlace_ = std::make_unique<char[]>(size_);
            std::memcpy(outOfPlace_.get(), text.data(), size_);
        }
        return *this;
    }
    std::size_t size() const { return size_; }
    std::string_view view() const { return {size_ <= kShortPiece ? inPlace_ : outOfPlace_.get(), size_}; }
    // Writes the piece at out, with up to kShortPiece characters of room after it.
    char* copyTo(char* out) const {
        if (size_ > kShortPiece) {
            std::memcpy(out, outOfPlace_.get(), size_);
        } else {
            std::memcpy(out, inPlace_, kShortPiece);
        }
        return out + size_;
    }

private:
    // In place, beside the rest of its format: a mix of messages reads the
    // pieces of many signals, and each is then one cache line at most.
    char inPlace_[kShortPiece] = {};
    std::size_t size_ = 0;
    std::unique_ptr<char[]> outOfPlace_;
};

}  // namespace

struct FrameDecoder::SignalFormat {
    Piece label;                // before the value: " NAME=", "MESSAGE,NAME,", "\"NAME\":"
    Piece unit;                 // after it: " rpm", ",rpm,"
    std::size_t slot = 0;       // the signal's index in its message
    std::size_t textSpace = 0;  // the most a value-table text takes, quoted
    std::string name;
};

struct FrameDecoder::MessageFormat {
    const cxl_message* handle = nullptr;
    std::string name;
    Piece head;  // after the interface: " 100 EngineData:", ",100,", ...
    std::vector<SignalFormat> signals;
    bool selected = false;
    bool hasTexts = false;  // some selected signal has a value table
    bool wideStarted = false;
    std::size_t space = 0;      // the most one frame's output takes, without the prefixes
    std::FILE* file = nullptr;  // kCsvWide with an output directory
    std::unique_ptr<OutputBuffer> fileOut;
};

// One batch of frames as read, with its decoded values: those of frame f
// from first[f] on, one per signal of its message. Reading writes what
// formatting reads: the arrays start uncleared.
struct FrameDecoder::Batch {
    UninitializedArray<int64_t> timeNs;
    UninitializedArray<double> timestamps;
    UninitializedArray<uint32_t> ids;
    UninitializedArray<uint8_t> extended;
    UninitializedArray<uint8_t> lengths;
    UninitializedArray<uint8_t> payloads;
    UninitializedArray<uint16_t> channels;
    UninitializedArray<double> physical;
    UninitializedArray<uint8_t> present;
    UninitializedArray<const char*> texts;
    UninitializedArray<std::size_t> first;
    UninitializedArray<int32_t> messageIndex;
    std::vector<std::string> channelNames;  // by channel as the log names them, "" when it does not
    std::vector<uint8_t> named;
    std::size_t count = 0;
    bool decoded = false;
    bool last = false;
    // Formatted side by side: the text and what it counted.
    OutputBuffer text{nullptr};
    DecodeCounts counts;

    explicit Batch(std::size_t columns)
        : timeNs(kBatchFrames),
          timestamps(kBatchFrames),
          ids(kBatchFrames),
          extended(kBatchFrames),
          lengths(kBatchFrames),
          payloads(kBatchFrames * CXL_LOG_PAYLOAD_STRIDE),
          channels(kBatchFrames),
          physical(columns * kBatchFrames),
          present(columns * kBatchFrames),
          texts(columns * kBatchFrames),
          first(kBatchFrames),
          messageIndex(kBatchFrames) {}

    cxl_frames frames() {
        return cxl_frames{kBatchFrames,   0,
                          timeNs.data(),  timestamps.data(),
                          ids.data(),     extended.data(),
                          lengths.data(), payloads.data(),
                          nullptr,        channels.data(),
                          nullptr};
    }

    // The names of the channels in this batch, taken while the reader is
    // not reading: it renames channels on the way.
    void takeChannelNames(const cxl_log_reader* reader) {
        std::fill(named.begin(), named.end(), 0);
        for (std::size_t f = 0; f < count; ++f) {
            const uint16_t channel = channels[f];
            if (channel >= named.size()) {
                named.resize(channel + std::size_t{1});
                channelNames.resize(named.size());
            }
            if (named[channel]) continue;
            named[channel] = 1;
            const char* name = cxl_log_channel_name(reader, channel);
            channelNames[channel] = name != nullptr ? name : "";
        }
    }
};

namespace {

// One batch for each of the two threads that decode.
constexpr std::size_t kBatchesInFlight = 2;

// Room for "(" seconds "." micros ") " and one of the separators around it.
constexpr std::size_t kTimestampSpace = 40;
constexpr uint64_t kProgressBatches = 8;

// Most pieces (prefixes, labels, units) are short: copied as two
// overlapping words, without a library call.
char* copy(char* out, const char* data, std::size_t size) {
    if (size >= 8 && size <= 16) {
        std::memcpy(out, data, 8);
        std::memcpy(out + size - 8, data + size - 8, 8);
    } else if (size > 16 && size <= 32) {
        std::memcpy(out, data, 16);
        std::memcpy(out + size - 16, data + size - 16, 16);
    } else {
        std::memcpy(out, data, size);
    }
    return out + size;
}

char* copy(char* out, const std::string& text) { return copy(out, text.data(), text.size()); }

// Seconds with six decimals, rounded to the microsecond, as candump writes
// them.
char* writeTimestamp(char* out, int64_t ns) {
    int64_t micros = ns / 1000;
    const int64_t rest = ns % 1000;
    if (rest >= 500) ++micros;
    if (rest < -500) --micros;
    if (micros < 0) {
        *out++ = '-';
        micros = -micros;
    }
    // The seconds change every so many frames: their digits are kept.
    thread_local int64_t lastSeconds = -1;
    thread_local char secondsText[24];
    thread_local std::size_t secondsSize = 0;
    const int64_t seconds = micros / 1000000;
    if (seconds != lastSeconds) {
        secondsSize = static_cast<std::size_t>(std::to_chars(secondsText, secondsText + 20, seconds).ptr - secondsText);
        lastSeconds = seconds;
    }
    out = copy(out, secondsText, secondsSize);
    *out++ = '.';
    const uint64_t decimals = sixDigits(static_cast<uint32_t>(micros % 1000000)) + kZeroCharacters;
    std::memcpy(out, &decimals, 6);
    return out + 6;
}

char* writeJsonNumber(char* out, double value) {
    if (!std::isfinite(value)) {
        std::memcpy(out, "null", 4);
        return out + 4;
    }
    return writeShortestDouble(out, value);
}

char* writeJsonText(char* out, const char* text) {
    std::string quoted;
    appendJsonString(quoted, text);
    return copy(out, quoted);
}

std::string jsonText(std::string_view text) {
    std::string quoted;
    appendJsonString(quoted, text);
    return quoted;
}

// Room for a value-table text in any output form.
std::size_t textSpace(const cxl_signal* signal, std::size_t count) {
    std::size_t longest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        int64_t raw = 0;
        const char* text = nullptr;
        if (cxl_signal_value_text(signal, i, &raw, &text) == CXL_OK) longest = std::max(longest, std::strlen(text));
    }
    return count == 0 ? 0 : 6 * longest + 8;  // JSON may escape a byte as \u00XX
}

}  // namespace

FrameDecoder::FrameDecoder(const cxl_database* database, DecodeSettings settings, OutputBuffer& out)
    : database_(database), settings_(std::move(settings)), out_(out) {}

FrameDecoder::~FrameDecoder() {
    for (MessageFormat& message : messages_) {
        message.fileOut.reset();
        if (message.file != nullptr) std::fclose(message.file);
    }
}

bool FrameDecoder::prepare(std::string& error) {
    cxl_database_info info{};
    if (cxl_get_database_info(database_, &info) != CXL_OK) {
        error = "cannot read the database";
        return false;
    }
    columns_ = std::max<std::size_t>(info.largest_signal_count, 1);
    messages_.resize(info.message_count);
    std::vector<std::vector<bool>> chosen(info.message_count);
    for (std::size_t m = 0; m < info.message_count; ++m) {
        messages_[m].handle = cxl_message_at(database_, m);
        cxl_message_info mi{};
        cxl_get_message_info(messages_[m].handle, &mi);
        messages_[m].name = mi.name;
        chosen[m].assign(mi.signal_count, settings_.select.empty());
    }
    for (const std::string& item : settings_.select) {
        bool found = false;
        const std::size_t dot = item.find('.');
        for (std::size_t m = 0; m < messages_.size(); ++m) {
            if (dot != std::string::npos && messages_[m].name != item.substr(0, dot)) continue;
            const std::string name = dot == std::string::npos ? item : item.substr(dot + 1);
            if (const cxl_signal* signal = cxl_find_signal(messages_[m].handle, name.c_str())) {
                cxl_signal_info si{};
                cxl_get_signal_info(signal, &si);
                chosen[m][si.index] = true;
                found = true;
            }
        }
        if (!found) {
            error = "no signal '" + item + "' in the database";
            return false;
        }
    }
    bool wideMessageFound = settings_.wideMessage.empty();
    for (std::size_t m = 0; m < messages_.size(); ++m) {
        MessageFormat& message = messages_[m];
        if (!settings_.wideMessage.empty() && message.name != settings_.wideMessage) continue;
        wideMessageFound = true;
        cxl_message_info mi{};
        cxl_get_message_info(message.handle, &mi);
        const std::string id = messageIdText(mi);
        switch (settings_.output) {
            case DecodeOutput::kText: message.head = ' ' + id + ' ' + printable(message.name) + ':'; break;
            case DecodeOutput::kCsv: message.head = ',' + id + ','; break;
            case DecodeOutput::kCsvWide: message.head = ',' + id; break;
            case DecodeOutput::kJsonLines:
                message.head = ",\"id\":\"" + id + "\",\"extended\":" + (mi.extended ? "true" : "false") +
                               ",\"message\":" + jsonText(message.name) + ",\"signals\":{";
                break;
        }
        message.space = message.head.size() + 32 + kShortPiece;
        for (std::size_t s = 0; s < chosen[m].size(); ++s) {
            if (!chosen[m][s]) continue;
            const cxl_signal* signal = cxl_signal_at(message.handle, s);
            cxl_signal_info si{};
            if (cxl_get_signal_info(signal, &si) != CXL_OK) continue;
            SignalFormat& format = message.signals.emplace_back();
            format.slot = s;
            format.name = si.name;
            const std::string unit = si.unit == nullptr ? "" : si.unit;
            switch (settings_.output) {
                case DecodeOutput::kText:
                    format.label = ' ' + printable(format.name) + '=';
                    format.unit = unit.empty() ? "" : ' ' + printable(unit);
                    break;
                case DecodeOutput::kCsv:
                    // Every row repeats the message: its head is part of each label.
                    format.label =
                        std::string(message.head.view()) + csvField(message.name) + ',' + csvField(format.name) + ',';
                    format.unit = ',' + csvField(unit) + ',';
                    break;
                case DecodeOutput::kCsvWide: format.label = ","; break;
                case DecodeOutput::kJsonLines: format.label = jsonText(format.name) + ':'; break;
            }
            format.textSpace = textSpace(signal, si.value_text_count);
            message.hasTexts = message.hasTexts || si.value_text_count > 0;
            message.space += message.head.size() + format.label.size() + format.unit.size() + 2 * format.textSpace +
                             2 * format.name.size() + kShortestDoubleMaxLength + 16;
        }
        message.selected = !message.signals.empty();
    }
    if (!wideMessageFound) {
        error = "no message '" + settings_.wideMessage + "' in the database";
        return false;
    }

    for (std::size_t i = 0; i < kBatchesInFlight; ++i) batches_.push_back(std::make_unique<Batch>(columns_));
    for (const MessageFormat& message : messages_) anyTexts_ = anyTexts_ || message.hasTexts;
    return true;
}

void FrameDecoder::writeHeader() {
    if (settings_.output == DecodeOutput::kCsv) out_.append(kCsvHeader);
    if (settings_.output != DecodeOutput::kCsvWide || settings_.wideMessage.empty()) return;
    for (MessageFormat& message : messages_) {
        if (message.name == settings_.wideMessage) wideOutput(message);
    }
}

// Where a message's wide rows go: the output for --message, else its own
// file, opened with its header at the message's first frame. Null when the
// file cannot be created (then the message is left out and finish reports it).
OutputBuffer* FrameDecoder::wideOutput(MessageFormat& message) {
    if (message.wideStarted) return message.fileOut != nullptr ? message.fileOut.get() : &out_;
    message.wideStarted = true;
    OutputBuffer* target = &out_;
    if (settings_.wideMessage.empty()) {
        const std::filesystem::path path = std::filesystem::path(settings_.outputDirectory) / (message.name + ".csv");
        message.file = std::fopen(path.string().c_str(), "wb");
        if (message.file == nullptr) {
            if (fileError_.empty()) fileError_ = path.string() + ": cannot create: " + std::strerror(errno);
            message.selected = false;
            return nullptr;
        }
        message.fileOut = std::make_unique<OutputBuffer>(message.file, std::size_t{1} << 16);
        target = message.fileOut.get();
    }
    std::string header = "timestamp,interface,message_id";
    for (const SignalFormat& signal : message.signals) header += ',' + csvField(signal.name);
    target->append(header + '\n');
    return target;
}

const std::string& FrameDecoder::interfaceName(const Batch& batch, uint16_t channel, InterfaceNames& interfaces) const {
    if (channel >= interfaces.size()) interfaces.resize(channel + std::size_t{1});
    std::string& name = interfaces[channel];
    if (name.empty()) {
        const std::string& given = batch.channelNames[channel];
        const std::string raw = !given.empty() ? given : "can" + std::to_string(channel);
        switch (settings_.output) {
            case DecodeOutput::kText: name = printable(raw); break;
            case DecodeOutput::kCsv:
            case DecodeOutput::kCsvWide: name = csvField(raw); break;
            case DecodeOutput::kJsonLines: name = jsonText(raw); break;
        }
    }
    return name;
}

// The part of a frame's output before its message: "(time) can0",
// "time,can0", "{"timestamp":time,"interface":"can0"".
std::size_t FrameDecoder::writePrefix(char* out, const Batch& batch, std::size_t frame,
                                      InterfaceNames& interfaces) const {
    char* const start = out;
    const std::string& interface = interfaceName(batch, batch.channels[frame], interfaces);
    const int64_t ns = batch.timeNs[frame];
    switch (settings_.output) {
        case DecodeOutput::kText:
            *out++ = '(';
            out = writeTimestamp(out, ns);
            *out++ = ')';
            *out++ = ' ';
            break;
        case DecodeOutput::kCsv:
        case DecodeOutput::kCsvWide:
            out = writeTimestamp(out, ns);
            *out++ = ',';
            break;
        case DecodeOutput::kJsonLines:
            std::memcpy(out, "{\"timestamp\":", 13);
            out = writeTimestamp(out + 13, ns);
            std::memcpy(out, ",\"interface\":", 13);
            out += 13;
            break;
    }
    out = copy(out, interface);
    return static_cast<std::size_t>(out - start);
}

namespace {

void addCounts(DecodeCounts& total, const DecodeCounts& more) {
    total.decoded += more.decoded;
    total.notInDatabase += more.notInDatabase;
    total.notSelected += more.notSelected;
}

}  // namespace

bool FrameDecoder::formatsSideBySide() const { return settings_.output != DecodeOutput::kCsvWide; }

// Two threads take batches in turn, each with a batch of its own: read (one
// at a time: the log is a stream), decode, format into the batch's text, and
// when the batch before it is out, write. Wide CSV, whose rows go to files
// of their own, is formatted in turn instead, straight into the outputs.
cxl_status FrameDecoder::decodeLog(cxl_log_reader* reader, ProgressIndicator* progress) {
    std::mutex reading;  // the reader and what follows from it
    uint64_t next = 0;   // the batch read next
    uint64_t framesRead = 0;
    bool ended = false;
    cxl_status status = CXL_OK;
    std::mutex turn;
    std::condition_variable turnChanged;
    uint64_t written = 0;  // batches written out
    const bool share = formatsSideBySide();
    const auto work = [&](Batch& batch) {
        InterfaceNames interfaces;
        for (;;) {
            uint64_t n = 0;
            {
                std::lock_guard lock(reading);
                if (ended) return;
                n = next++;
                cxl_frames frames = batch.frames();
                const cxl_status read = cxl_log_read(reader, &frames);
                batch.count = frames.count;
                batch.last = read != CXL_OK || frames.count == 0;
                if (batch.last) {
                    ended = true;
                    status = read;
                }
                batch.takeChannelNames(reader);
                framesRead += batch.count;
                if (progress != nullptr && (batch.last || n % kProgressBatches == kProgressBatches - 1)) {
                    cxl_log_counts counts{};
                    cxl_log_get_counts(reader, &counts);
                    progress->update(counts.bytes_read, framesRead);
                    if (batch.last) progress->finish();
                }
            }
            batch.decoded = batch.count > 0 && decodeBatch(batch);
            if (share) {
                batch.text.clear();
                batch.counts = DecodeCounts{};
                writeBatch(batch, batch.text, batch.counts, interfaces);
            }
            {
                std::unique_lock lock(turn);
                turnChanged.wait(lock, [&] { return written == n; });
            }
            if (share) {
                out_.write(batch.text.contents());
                addCounts(counts_, batch.counts);
            } else {
                writeBatch(batch, out_, counts_, interfaces);
            }
            {
                std::lock_guard lock(turn);
                written = n + 1;
            }
            turnChanged.notify_all();
            if (batch.last) return;
        }
    };
    std::thread helper(work, std::ref(*batches_[1]));
    work(*batches_[0]);
    helper.join();
    return status;
}

bool FrameDecoder::decodeBatch(Batch& batch) const {
    cxl_batch frames{};
    frames.frame_count = batch.count;
    frames.ids = batch.ids.data();
    frames.extended = batch.extended.data();
    frames.lengths = batch.lengths.data();
    frames.payloads = batch.payloads.data();
    frames.payload_stride = CXL_LOG_PAYLOAD_STRIDE;
    frames.message_index = batch.messageIndex.data();
    cxl_packed values{batch.physical.size(), batch.physical.data(),
                      batch.present.data(),  anyTexts_ ? batch.texts.data() : nullptr,
                      batch.first.data(),    0};
    return cxl_decode_packed(database_, &frames, &values, settings_.clamp ? CXL_CLAMP : 0u) == CXL_OK;
}

void FrameDecoder::writeBatch(const Batch& batch, OutputBuffer& output, DecodeCounts& counts,
                              InterfaceNames& interfaces) {
    if (!batch.decoded) {
        counts.notInDatabase += batch.count;
        return;
    }
    interfaces.clear();
    switch (settings_.output) {
        case DecodeOutput::kText: return writeFrames<DecodeOutput::kText>(batch, output, counts, interfaces);
        case DecodeOutput::kCsv: return writeFrames<DecodeOutput::kCsv>(batch, output, counts, interfaces);
        case DecodeOutput::kCsvWide: return writeFrames<DecodeOutput::kCsvWide>(batch, output, counts, interfaces);
        case DecodeOutput::kJsonLines: return writeFrames<DecodeOutput::kJsonLines>(batch, output, counts, interfaces);
    }
}

// The frames of a batch in one output form. The values are read through
// locals: a store through char* could change anything, and would otherwise
// have each signal load them again.
template <DecodeOutput Form>
void FrameDecoder::writeFrames(const Batch& batch, OutputBuffer& output, DecodeCounts& counts,
                               InterfaceNames& interfaces) {
    const std::size_t count = batch.count;
    const uint8_t* const presentAt = batch.present.data();
    const double* const physicalAt = batch.physical.data();
    const char* const* const textAt = batch.texts.data();
    char prefix[512];
    for (std::size_t f = 0; f < count; ++f) {
        const int32_t index = batch.messageIndex[f];
        if (index < 0) {
            ++counts.notInDatabase;
            continue;
        }
        MessageFormat& message = messages_[static_cast<std::size_t>(index)];
        if (!message.selected) {
            ++counts.notSelected;
            continue;
        }
        const std::size_t firstValue = batch.first[f];
        constexpr bool csvLong = Form == DecodeOutput::kCsv;
        const std::size_t interfaceSize = interfaceName(batch, batch.channels[f], interfaces).size();
        // Long CSV repeats the prefix on every row: written once aside, then copied.
        const std::size_t prefixSize =
            csvLong && interfaceSize + kTimestampSpace < sizeof prefix ? writePrefix(prefix, batch, f, interfaces) : 0;
        const std::size_t prefixRoom = prefixSize == 0 ? kTimestampSpace + interfaceSize : prefixSize;

        OutputBuffer* target = &output;
        if constexpr (Form == DecodeOutput::kCsvWide) {
            target = wideOutput(message);
            if (target == nullptr) {
                ++counts.notSelected;
                continue;
            }
        }
        ++counts.decoded;
        const std::size_t signalCount = message.signals.size();
        char* out = target->reserve(prefixRoom * (signalCount + 1) + message.space);
        const auto writeFramePrefix = [&](char* at) {
            if (prefixSize > 0) return copy(at, prefix, prefixSize);
            return at + writePrefix(at, batch, f, interfaces);
        };
        if constexpr (!csvLong) out = message.head.copyTo(writeFramePrefix(out));
        bool first = true;
        bool anyText = false;
        const bool hasTexts = message.hasTexts;
        for (const SignalFormat& signal : message.signals) {
            const std::size_t cell = firstValue + signal.slot;
            const bool present = presentAt[cell] != 0;
            const double value = physicalAt[cell];
            const char* text = hasTexts ? textAt[cell] : nullptr;
            if constexpr (Form == DecodeOutput::kText) {
                if (!present) continue;
                if (!first) *out++ = ',';
                out = writeShortestDouble(signal.label.copyTo(out), value);
                out = signal.unit.copyTo(out);
                if (text != nullptr) {
                    *out++ = ' ';
                    *out++ = '(';
                    out = writePrintable(out, text);
                    *out++ = ')';
                }
                first = false;
            } else if constexpr (Form == DecodeOutput::kCsv) {
                if (!present) continue;
                out = writeShortestDouble(signal.label.copyTo(writeFramePrefix(out)), value);
                out = signal.unit.copyTo(out);
                if (text != nullptr) out = writeCsvField(out, text);
                *out++ = '\n';
            } else if constexpr (Form == DecodeOutput::kCsvWide) {
                *out++ = ',';
                if (present) out = writeShortestDouble(out, value);
            } else {
                if (!present) continue;
                anyText = anyText || text != nullptr;
                if (!first) *out++ = ',';
                out = writeJsonNumber(signal.label.copyTo(out), value);
                first = false;
            }
        }
        if constexpr (Form == DecodeOutput::kJsonLines) {
            *out++ = '}';
            if (anyText) {
                std::memcpy(out, ",\"labels\":{", 11);
                out += 11;
                bool firstLabel = true;
                for (const SignalFormat& signal : message.signals) {
                    const char* text = textAt[firstValue + signal.slot];
                    if (presentAt[firstValue + signal.slot] == 0 || text == nullptr) continue;
                    if (!firstLabel) *out++ = ',';
                    out = writeJsonText(signal.label.copyTo(out), text);
                    firstLabel = false;
                }
                *out++ = '}';
            }
            *out++ = '}';
        }
        if constexpr (!csvLong) *out++ = '\n';
        target->commit(out);
    }
}

bool FrameDecoder::finish(std::string& error) {
    if (!fileError_.empty()) {
        error = fileError_;
        return false;
    }
    for (MessageFormat& message : messages_) {
        if (message.file == nullptr) continue;
        const bool written = message.fileOut->flush();
        message.fileOut.reset();
        const bool closed = std::fclose(message.file) == 0;
        message.file = nullptr;
        if (!written || !closed) {
            error = message.name + ".csv: cannot write: " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace canxlate::cli
