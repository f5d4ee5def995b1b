// candump's log-file form: (seconds) interface ID#DATA, ID##<flags>DATA for
// CAN FD, ID#R for remote requests, error frames as SocketCAN has them (the
// error flag and class as an 8-digit ID, then the data), and R or T at the
// end when the direction is known. Interfaces keep the names their log gives;
// numbered channels (ASC, BLF) are written as can0 for channel 1 and so on.
#include <new>

#include "canxlate/logs/frame_writer.h"
#include "canxlate/logs/text_buffer.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

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

    // The DLC of a CAN FD frame is not written: it follows from the length.
    const char* formatRefusal(const FrameRecord& record) const override {
        if (record.has(kFlexibleData) && !record.has(kRemoteFrame) && record.dlc != dlcOfLength(record.length))
            return "candump gives a CAN FD frame the DLC of its length";
        return nullptr;
    }

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
            text_.appendHex(record.id | kErrorFrameFlag, 8);
        } else {
            text_.appendHex(record.id, record.has(kExtendedId) ? 8 : 3);
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
