#include "canxlate/zcd/zcd_model_reader.h"

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "canxlate/dbc/diagnostic_sink.h"
#include "canxlate/dbc/signal_layout.h"
#include "shared/definitions/channel_definition_file_loader.h"

namespace canxlate::zcd {
namespace {

struct StreamCloser {
    void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

// The text as a stream for the import's reader. Null when none can be made.
Stream openText(std::string_view text) {
#if defined(_WIN32)
    // No memory streams: a temporary file that goes when it is closed.
    Stream stream(std::tmpfile());
    if (stream == nullptr || std::fwrite(text.data(), 1, text.size(), stream.get()) != text.size()) return nullptr;
    std::rewind(stream.get());
    return stream;
#else
    // fmemopen refuses an empty buffer; an empty text reads as one blank.
    if (text.empty()) text = " ";
    return Stream(fmemopen(const_cast<char*>(text.data()), text.size(), "rb"));
#endif
}

// Documents carry no line numbers into the records: diagnostics concern the file.
constexpr dbc::Position kWholeFile{0, 0};
constexpr uint32_t kLargestStandardId = 0x7FF;
constexpr uint32_t kLargestExtendedId = 0x1FFFFFFF;

std::string hexName(uint32_t id, bool extended) {
    char text[16];
    std::snprintf(text, sizeof text, extended ? "0x%08X" : "0x%03X", id);
    return text;
}

std::string quote(std::string_view name) { return "'" + std::string(name) + "'"; }

class ModelFiller {
public:
    ModelFiller(db::Database& database) : db_(database), sink_(database.diagnostics) {}

    void run(const ImportedChannelList& channels) {
        for (const auto& channel : channels) add(*channel);
        if (channels.empty()) sink_.warning(db::Topic::kOther, kWholeFile, "the document defines no channel");
        for (db::Message& message : db_.messages) {
            message.clearSignalIndex();
            for (uint32_t s = 0; s < message.signals.size(); ++s) {
                if (!message.indexSignal(s))
                    sink_.warning(db::Topic::kDuplicate, kWholeFile,
                                  "channel " + quote(message.signals[s].name) + " appears twice in message " +
                                      quote(message.name) + "; its name finds the first");
            }
        }
        db_.buildIndexes();
    }

private:
    db::Message* messageFor(const ImportedChannel& channel) {
        if (channel.messageId > kLargestExtendedId) {
            sink_.error(db::Topic::kOther, kWholeFile,
                        "channel " + quote(channel.name) + " skipped: its message has no CAN ID");
            return nullptr;
        }
        const bool extended = channel.messageId > kLargestStandardId;
        const uint64_t key = channel.messageId | (extended ? uint64_t{1} << 32 : 0);
        auto [it, added] = messageOf_.emplace(key, static_cast<uint32_t>(db_.messages.size()));
        if (!added) {
            db::Message& message = db_.messages[it->second];
            if (channel.payloadSize != message.length)
                sink_.warning(db::Topic::kOther, kWholeFile,
                              "message " + quote(message.name) + " is given " + std::to_string(channel.payloadSize) +
                                  " bytes as well as " + std::to_string(message.length) + "; the first counts");
            return &message;
        }
        db::Message& message = db_.messages.emplace_back();
        message.id = channel.messageId;
        message.extended = extended;
        message.name = hexName(message.id, extended);
        message.length = channel.payloadSize;
        if (message.length > db::kMaxPayloadBytes) {
            sink_.error(db::Topic::kLayout, kWholeFile,
                        "message " + quote(message.name) + " has length " + std::to_string(message.length) +
                            "; a payload holds 0 to 64 bytes, so 64 is used");
            message.length = db::kMaxPayloadBytes;
        }
        message.fd = message.length > 8;
        return &message;
    }

    void add(const ImportedChannel& channel) {
        db::Message* message = messageFor(channel);
        if (message == nullptr) return;
        if (message->signals.size() == db::kMostSignals) {
            sink_.error(db::Topic::kOther, kWholeFile, db::mostSignalsText(channel.name, message->name));
            return;
        }
        db::Signal& signal = message->signals.emplace_back();
        signal.name = channel.name;
        signal.unit = channel.unit;
        signal.startBit = channel.startBit;
        signal.length = channel.bitCount;
        signal.bigEndian = channel.byteOrder == kByteOrderBigEndian;
        signal.factor = channel.factor;
        signal.offset = channel.offset;
        signal.minimum = channel.minimum;
        signal.maximum = channel.maximum;
        const std::string name = "channel " + quote(signal.name) + " of message " + quote(message->name);
        if (channel.byteOrder > kByteOrderBigEndian || channel.dataType > kDataTypeIeeeFloat) {
            sink_.error(db::Topic::kValueType, kWholeFile,
                        name + " has byte order " + std::to_string(channel.byteOrder) + " and type " +
                            std::to_string(channel.dataType) + "; it cannot be decoded");
            return;
        }
        switch (channel.dataType) {
            case kDataTypeSignedInt: signal.type = db::ValueType::kSigned; break;
            case kDataTypeUnsignedInt: signal.type = db::ValueType::kUnsigned; break;
            default:
                signal.type = channel.bitCount == 64 ? db::ValueType::kDouble : db::ValueType::kSingle;
                if (channel.bitCount != 32 && channel.bitCount != 64) {
                    sink_.error(db::Topic::kValueType, kWholeFile,
                                name + " is an IEEE float of " + std::to_string(channel.bitCount) +
                                    " bits, not 32 or 64; it cannot be decoded");
                    return;
                }
        }
        dbc::layOutSignal(signal, channel.startBit, channel.bitCount, *message, kWholeFile, sink_, true);
    }

    db::Database& db_;
    dbc::DiagnosticSink sink_;
    std::unordered_map<uint64_t, uint32_t> messageOf_;
};

}  // namespace

bool readZcd(std::string_view text, db::Database& database) {
    const Stream stream = openText(text);
    if (stream == nullptr) return false;
    ImportedChannelList channels;
    std::vector<tChannelDefinitionFileLoader::Finding> findings;
    tChannelDefinitionFileLoader loader;
    loader.recogniseMarkup();
    loader.findings = &findings;
    const bool wellFormed = loader.load(channels, ChannelSelection{}, DefinitionFormat::kZcd, stream.get()) >= 0;
    dbc::DiagnosticSink sink(database.diagnostics);
    if (!wellFormed)
        sink.error(db::Topic::kSyntax, dbc::Position{loader.line(), loader.column()},
                   loader.endedOpen() ? "the document ends inside an element"
                                      : "the document is not well-formed XML here; what follows is not read");
    for (auto& finding : findings)
        sink.error(db::Topic::kSyntax, dbc::Position{finding.line, finding.column}, std::move(finding.text));
    if (const uint32_t line = loader.firstCutLine())
        sink.warning(db::Topic::kSyntax, dbc::Position{line, 0},
                     "an element name longer than 64 characters or an attribute longer than 255 was cut, or an "
                     "element's attributes past the 16th were dropped");
    ModelFiller(database).run(channels);
    return true;
}

}  // namespace canxlate::zcd
