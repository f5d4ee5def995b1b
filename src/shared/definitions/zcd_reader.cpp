// The ".zcd" reader: the tokeniser callbacks of tChannelDefinitionFileLoader.
// Each accepted "channel" element becomes one ImportedChannel; "bitfield" and
// "linear_scaling" fill in the most recent one. The reader never fails a
// document: misplaced elements simply lose their effect.
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "shared/definitions/channel_definition_file_loader.h"
#include "shared/numbers/c_number_conversion.h"

namespace canxlate {

namespace {

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(kBlanks) + 1 - begin);
}

// Digits only, white space around them allowed, and a value that fits 32 bits.
bool isDecimalBelow2To32(std::string_view text) {
    text = trimmed(text);
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) return false;
    }
    return true;
}

// The position of a word is the kind it stands for. Some words occur twice, so
// the kind found depends on where the search starts.
constexpr std::array<std::string_view, 35> kKeywords = {
    "zecan_config", "min_version", "saved",  "message", "channel",  "bitfield",  "linear_scaling",
    "mux",          "mode",        "name",   "id",      "extended", "dbc",       "conflicts",
    "bytes",        "interface",   "name",   "comment", "start",    "bits",      "order",
    "type",         "factor",      "offset", "max",     "min",      "default",   "unit",
    "name",         "start",       "bits",   "order",   "defmode",  "conflicts", "val",
};

enum Kind : int32_t {
    kNoKind = -1,
    kMessage = 3,
    kChannel = 4,
    kBitfield = 5,
    kLinearScaling = 6,
    kMux = 7,
    kMode = 8,
    kId = 10,
    kBytes = 14,
    // "bitfield" attributes
    kStart = 18,
    kBits = 19,
    kOrder = 20,
    kType = 21,
    // "linear_scaling" attributes
    kFactor = 22,
    kOffset = 23,
    kMax = 24,
    kMin = 25,
    kUnit = 27,
    // "mux" attributes span kMuxFirstAttribute..kMuxLastAttribute
    kMuxFirstAttribute = 28,
    kMuxLastAttribute = 33,
    // "mode" attribute
    kVal = 34,
};

// Where each kind of lookup starts in the keyword table.
constexpr int32_t kElementSearchStart = 0;
constexpr int32_t kBitfieldSearchStart = kStart;
constexpr int32_t kLinearScalingSearchStart = kFactor;
constexpr int32_t kMuxSearchStart = kMuxFirstAttribute;
constexpr int32_t kModeSearchStart = kVal;

// Compares from `start` upwards, wrapping round, until every word was tried.
int32_t lookupKeyword(std::string_view text, int32_t start) {
    const auto count = static_cast<int32_t>(kKeywords.size());
    for (int32_t tried = 0; tried < count; ++tried) {
        const int32_t kind = (start + tried) % count;
        if (kKeywords[static_cast<std::size_t>(kind)] == text) {
            return kind;
        }
    }
    return kNoKind;
}

// Walks the tokeniser's attribute slots up to the first empty one.
std::size_t attributeCount(char** attributes) {
    std::size_t count = 0;
    while (count < CXmlParser::kAttributeSlotCount && attributes[count][0] != '\0') {
        ++count;
    }
    return count;
}

// Cuts a "name=value" slot at its first '='. The slot then holds the name
// alone; the result is the value, or null when the slot has no '='.
const char* cutAttribute(char* slot) {
    char* equals = std::strchr(slot, '=');
    if (equals == nullptr) {
        return nullptr;
    }
    *equals = '\0';
    return equals + 1;
}

void applyBitfield(ImportedChannel& channel, char** attributes) {
    const std::size_t count = attributeCount(attributes);
    for (std::size_t i = 0; i < count; ++i) {
        const char* value = cutAttribute(attributes[i]);
        if (value == nullptr) {
            continue;
        }
        const auto number = static_cast<uint32_t>(readCInteger(value));
        switch (lookupKeyword(attributes[i], kBitfieldSearchStart)) {
            case kStart: channel.startBit = number; break;
            case kBits: channel.bitCount = number; break;
            case kOrder: channel.byteOrder = number; break;
            case kType: channel.dataType = number; break;
            default: break;
        }
    }
}

void applyLinearScaling(ImportedChannel& channel, char** attributes) {
    const std::size_t count = attributeCount(attributes);
    for (std::size_t i = 0; i < count; ++i) {
        const char* value = cutAttribute(attributes[i]);
        if (value == nullptr) {
            continue;
        }
        switch (lookupKeyword(attributes[i], kLinearScalingSearchStart)) {
            case kFactor: channel.factor = readZcdReal(value); break;
            case kOffset: channel.offset = readZcdReal(value); break;
            case kMax: channel.maximum = readZcdReal(value); break;
            case kMin: channel.minimum = readZcdReal(value); break;
            case kUnit: channel.unit = value; break;
            default: break;  // "default" and unknown attributes
        }
    }
}

bool muxAttributesAreKnown(char** attributes) {
    const std::size_t count = attributeCount(attributes);
    for (std::size_t i = 0; i < count; ++i) {
        cutAttribute(attributes[i]);
        const int32_t kind = lookupKeyword(attributes[i], kMuxSearchStart);
        if (kind < kMuxFirstAttribute || kind > kMuxLastAttribute) {
            return false;
        }
    }
    return true;
}

bool modeHasValue(char** attributes) {
    if (attributeCount(attributes) == 0) {
        return false;
    }
    cutAttribute(attributes[0]);
    return lookupKeyword(attributes[0], kModeSearchStart) == kVal;
}

}  // namespace

// A rejected element is not pushed, so its children are judged against the
// nearest accepted element around them.
void tChannelDefinitionFileLoader::startElement(char* name, char** attributes) {
    if (elementStackTop + 1 >= kElementStackDepth) {
        return;
    }
    const int32_t kind = lookupKeyword(name, kElementSearchStart);
    const int32_t parent = elementStackTop >= 0 ? elementStack[elementStackTop] : kNoKind;

    switch (kind) {
        case kChannel: {
            if (parent != kMessage && parent != kMode) {
                return;
            }
            const char* channelName = attributeCount(attributes) > 0 ? cutAttribute(attributes[0]) : nullptr;
            results.push_back(std::make_unique<ImportedChannel>(
                channelName, "", 0u, 0u, static_cast<uint32_t>(kDataTypeIeeeFloat),
                static_cast<uint32_t>(kByteOrderLittleEndian), 1.0, 0.0, 0.0, 0.0,
                static_cast<uint32_t>(currentMessageId), static_cast<uint32_t>(currentMessageSize)));
            break;
        }
        // Without a channel record yet there is nothing to change; the element
        // is still accepted.
        case kBitfield:
            if (!results.empty()) {
                applyBitfield(*results.back(), attributes);
            }
            break;
        case kLinearScaling:
            if (!results.empty()) {
                applyLinearScaling(*results.back(), attributes);
            }
            break;
        case kMux:
            if (parent != kMessage || !muxAttributesAreKnown(attributes)) {
                return;
            }
            break;
        case kMode:
            if (parent != kMux || !modeHasValue(attributes)) {
                return;
            }
            break;
        default: break;
    }
    elementStack[++elementStackTop] = kind;
}

// End tags are not matched by name: only an end whose kind is on top pops,
// which is what leaves the stack untouched at the end of a rejected element.
void tChannelDefinitionFileLoader::endElement(char* name) {
    if (elementStackTop >= 0 && elementStack[elementStackTop] == lookupKeyword(name, kElementSearchStart)) {
        --elementStackTop;
    }
}

void tChannelDefinitionFileLoader::characterData(char* text) {
    if (elementStackTop < 1 || elementStack[elementStackTop - 1] != kMessage) {
        return;
    }
    switch (elementStack[elementStackTop]) {
        case kId:
            currentMessageId = readCInteger(text);
            if (findings != nullptr && !isDecimalBelow2To32(text)) {
                findings->push_back(
                    {line(), column(),
                     "message ID '" + std::string(trimmed(text)) + "' is not a decimal number below 2^32"});
                currentMessageId = -1;
            }
            break;
        case kBytes:
            currentMessageSize = readCInteger(text);
            if (findings != nullptr && !isDecimalBelow2To32(text))
                findings->push_back({line(), column(),
                                     "message size '" + std::string(trimmed(text)) +
                                         "' is not a decimal number below 2^32; " + std::to_string(currentMessageSize) +
                                         " is used"});
            break;
        default: break;
    }
}

}  // namespace canxlate
