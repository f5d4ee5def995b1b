// ASC text logs: a header with the start date, then one line per frame with
// the time since the start, CANFD lines for CAN FD frames.
#include <cstdio>
#include <new>

#include "canxlate/logs/frame_writer.h"
#include "canxlate/logs/text_buffer.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

class AscWriter final : public FrameWriter {
public:
    explicit AscWriter(ByteSink& sink) : FrameWriter(sink), text_(sink) {}

protected:
    bool writeSome(const FrameRecord* records, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            if (!headerWritten_) writeHeader(records[i].timestampNs);
            writeLine(records[i]);
            if (!text_.flush()) return false;
        }
        framesWritten_ += count;
        return true;
    }

    bool finishWriting() override {
        if (!headerWritten_) writeHeader(0);
        text_.append("End TriggerBlock\n");
        return text_.flush(true);
    }

    // An error line holds no class, data or direction: only the bus error
    // that it reads back as.
    const char* formatRefusal(const FrameRecord& record) const override {
        if (!record.has(kErrorFrame)) return nullptr;
        bool zeros = true;
        for (int i = 0; i < record.length; ++i) zeros = zeros && record.data[i] == 0;
        if (record.id != kBusErrorClass || record.length != kClassicDataLength || !zeros ||
            record.direction != Direction::kUnknown)
            return "ASC holds error frames only as bus errors without data or direction";
        return nullptr;
    }

private:
    void writeHeader(int64_t firstNs) {
        static constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        startNs_ = headerStartNs(firstNs);  // every line gives the rest exactly
        const CivilTime start = civilFromNanoseconds(startNs_);
        char date[64];
        const int length = std::snprintf(date, sizeof date, "%s %s %02d %02d:%02d:%02d.%03d %d",
                                         kWeekdays[start.weekday], kMonths[start.month - 1], start.day, start.hour,
                                         start.minute, start.second, start.millisecond, start.year);
        const std::string_view dateText(date, length > 0 ? static_cast<std::size_t>(length) : 0);
        text_.append("date ");
        text_.append(dateText);
        text_.append("\nbase hex  timestamps absolute\ninternal events logged\nBegin Triggerblock ");
        text_.append(dateText);
        text_.append("\n   0.000000 Start of measurement\n");
        headerWritten_ = true;
    }

    void writeLine(const FrameRecord& record) {
        int64_t offset = record.timestampNs - startNs_;
        if (offset < 0) {
            offset = 0;
            ++timestampsRaised_;
        }
        char seconds[kSecondsTextCapacity];
        text_.appendPadded({seconds, formatSeconds(offset, seconds)}, 11);
        const std::string_view direction = record.direction == Direction::kTransmitted ? "Tx" : "Rx";
        if (record.has(kFlexibleData)) {
            writeFlexibleData(record, direction);
            return;
        }
        text_.append(' ');
        text_.appendDecimal(record.channel + 1u);
        if (record.has(kErrorFrame)) {
            text_.append("  ErrorFrame\n");
            return;
        }
        text_.append("  ");
        const std::size_t idWidth = appendId(record);
        for (std::size_t i = idWidth; i < 16; ++i) text_.append(' ');
        text_.append(direction);
        if (record.has(kRemoteFrame)) {
            text_.append("   r ");
            text_.appendHex(record.dlc & 0xF, 1);
            text_.append('\n');
            return;
        }
        text_.append("   d ");
        text_.appendHex(record.dlc & 0xF, 1);
        const int length = record.length < kClassicDataLength ? record.length : kClassicDataLength;
        for (int i = 0; i < length; ++i) {
            text_.append(' ');
            text_.appendHex(record.data[i], 2);
        }
        text_.append('\n');
    }

    std::size_t appendId(const FrameRecord& record) {
        const uint32_t id = record.id & kExtendedIdMask;
        int digits = 1;
        while (digits < 8 && (id >> (digits * 4)) != 0) ++digits;
        text_.appendHex(id, digits);
        if (!record.has(kExtendedId)) return static_cast<std::size_t>(digits);
        text_.append('x');
        return static_cast<std::size_t>(digits) + 1;
    }

    // time CANFD channel dir id brs esi dlc length data duration bits flags crc and bit timings
    void writeFlexibleData(const FrameRecord& record, std::string_view direction) {
        text_.append(" CANFD ");
        char channel[8];
        const int channelLength = std::snprintf(channel, sizeof channel, "%u", record.channel + 1u);
        text_.appendPadded({channel, channelLength > 0 ? static_cast<std::size_t>(channelLength) : 0}, 3);
        text_.append(' ');
        text_.append(direction);
        text_.append("   ");
        appendId(record);
        text_.append(record.has(kBitRateSwitch) ? " 1" : " 0");
        text_.append(record.has(kErrorStateIndicator) ? " 1 " : " 0 ");
        text_.appendHex(record.dlc & 0xF, 1);
        text_.append(' ');
        const int length = record.length <= kLargestDataLength ? record.length : kLargestDataLength;
        text_.appendDecimal(static_cast<uint32_t>(length));
        for (int i = 0; i < length; ++i) {
            text_.append(' ');
            text_.appendHex(record.data[i], 2);
        }
        uint32_t flags = 0x1000;
        if (record.has(kBitRateSwitch)) flags |= 0x2000;
        if (record.has(kErrorStateIndicator)) flags |= 0x4000;
        text_.append(" 0 0 ");
        text_.appendHex(flags, 8);
        text_.append(" 0 0 0 0 0\n");
    }

    TextBuffer text_;
    bool headerWritten_ = false;
    int64_t startNs_ = 0;
};

}  // namespace

std::unique_ptr<FrameWriter> openAscWriter(ByteSink& sink) { return std::make_unique<AscWriter>(sink); }

}  // namespace canxlate::logs
