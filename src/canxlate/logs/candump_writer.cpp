// candump's log-file form: (seconds) interface ID#DATA, ID##<flags>DATA for
// CAN FD, ID#R for remote requests, 8-digit IDs with the error flag for error
// frames, and R or T at the end when the direction is known.
#include <new>

#include "canxlate/logs/frame_writer.h"
#include "canxlate/logs/text_buffer.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

constexpr uint32_t kErrorFrameFlag = 0x20000000;

class CandumpWriter final : public FrameWriter {
public:
    explicit CandumpWriter(ByteSink& sink) : FrameWriter(sink), text_(sink) {}

protected:
    bool writeSome(const FrameRecord* records, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            writeLine(records[i]);
            if (!text_.flush()) return false;
        }
        framesWritten_ += count;
        return true;
    }
    bool finishWriting() override { return text_.flush(true); }

private:
    void writeLine(const FrameRecord& record) {
        char seconds[kSecondsTextCapacity];
        text_.append('(');
        text_.append({seconds, formatSeconds(record.timestampNs, seconds)});
        text_.append(") ");
        if (record.interfaceName[0] != '\0') {
            std::size_t length = 0;
            while (length < kInterfaceNameCapacity && record.interfaceName[length] != '\0') ++length;
            text_.append(std::string_view(record.interfaceName, length));
        } else {
            text_.append("can");
            text_.appendDecimal(record.channel);
        }
        text_.append(' ');
        if (record.has(kErrorFrame)) {
            text_.appendHex((record.id & kExtendedIdMask) | kErrorFrameFlag, 8);
        } else if (record.has(kExtendedId)) {
            text_.appendHex(record.id & kExtendedIdMask, 8);
        } else {
            text_.appendHex(record.id & kLargestStandardId, 3);
        }
        text_.append('#');
        if (record.has(kRemoteFrame)) {
            text_.append('R');
            if (record.dlc != 0) text_.appendHex(record.dlc & 0xF, 1);
        } else {
            if (record.has(kFlexibleData)) {
                text_.append('#');
                text_.appendHex((record.has(kBitRateSwitch) ? 1u : 0u) | (record.has(kErrorStateIndicator) ? 2u : 0u),
                                1);
            }
            const int length = record.length <= kLargestDataLength ? record.length : kLargestDataLength;
            for (int i = 0; i < length; ++i) text_.appendHex(record.data[i], 2);
            if (!record.has(kFlexibleData) && length == kClassicDataLength && record.dlc > kClassicDataLength) {
                text_.append('_');
                text_.appendHex(record.dlc & 0xF, 1);
            }
        }
        if (record.direction != Direction::kUnknown)
            text_.append(record.direction == Direction::kTransmitted ? " T" : " R");
        text_.append('\n');
    }

    TextBuffer text_;
};

}  // namespace

std::unique_ptr<FrameWriter> openCandumpWriter(ByteSink& sink) { return std::make_unique<CandumpWriter>(sink); }

}  // namespace canxlate::logs
