// The ".dbc" reader: turns the signal lines of a DBC database file into
// ImportedChannel records. Only message lines ("BO_ "), signal lines ("SG_ ")
// and signal value type lines ("SIG_VALTYPE_ ") are read; any line that
// contains one of these keywords counts as such a line. No value is validated
// here: addNewchannelDefinition decides what it accepts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "canxlatelib.h"
#include "shared/definitions/channel_definition_file_loader.h"
#include "shared/numbers/c_number_conversion.h"
#include "shared/numbers/dbc_number_rules.h"

namespace canxlate {

namespace {

constexpr std::string_view kMessageKeyword = "BO_ ";
constexpr std::string_view kSignalKeyword = "SG_ ";
constexpr std::string_view kValueTypeKeyword = "SIG_VALTYPE_ ";

constexpr std::size_t kReadBlockSize = 64 * 1024;
constexpr std::size_t kReservedLineLength = 256;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// The file, read in blocks. As with fgetc and feof, the end of the file is
// noticed only by a read that finds no further byte, not by reading the last.
class DbcLineSource {
public:
    explicit DbcLineSource(std::FILE* stream) : stream_(stream), block_(new char[kReadBlockSize]) {}

    // True once a read found no further byte (or failed).
    bool endReached() const { return endReached_; }
    // True when reading stopped on an error rather than at the end of the file.
    bool failed() const { return failed_; }

    // Makes the next bytes available; false at the end of the file.
    bool fill() {
        if (next_ < end_) {
            return true;
        }
        const std::size_t count = std::fread(block_.get(), 1, kReadBlockSize, stream_);
        next_ = 0;
        end_ = count;
        if (count == 0) {
            endReached_ = true;
            failed_ = failed_ || std::ferror(stream_) != 0;
            return false;
        }
        return true;
    }

    std::string_view available() const { return {block_.get() + next_, end_ - next_}; }
    void consume(std::size_t count) { next_ += count; }

private:
    std::FILE* stream_;
    std::unique_ptr<char[]> block_;
    std::size_t next_ = 0;
    std::size_t end_ = 0;
    bool endReached_ = false;
    bool failed_ = false;
};

// Empties line and reads the next one into it: every byte up to the next line
// feed or the end of the file, the line feed itself excluded. A carriage
// return directly before the line feed is dropped as a text-mode stream drops
// it; any other byte (a lone carriage return, a tab, a NUL) is kept.
void readLine(DbcLineSource& source, std::string& line) {
    line.clear();
    while (source.fill()) {
        const std::string_view bytes = source.available();
        const void* lineFeed = std::memchr(bytes.data(), '\n', bytes.size());
        if (lineFeed == nullptr) {
            line.append(bytes);
            source.consume(bytes.size());
            continue;
        }
        const auto length = static_cast<std::size_t>(static_cast<const char*>(lineFeed) - bytes.data());
        line.append(bytes.data(), length);
        source.consume(length + 1);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return;
    }
}

bool contains(std::string_view line, std::string_view keyword) { return line.find(keyword) != std::string_view::npos; }

// Position just after the first delimiter found at or after from; 0 when
// there is none, so that the next search and conversion restart at the
// beginning of the line.
std::size_t positionAfter(std::string_view line, char delimiter, std::size_t from) {
    const std::size_t found = line.find(delimiter, from);
    return found == std::string_view::npos ? 0 : found + 1;
}

// Names and units travel as NUL-terminated strings: a NUL byte ends them.
std::string_view upToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

int32_t integerAt(std::string_view line, std::size_t position) { return readCInteger(line.substr(position)); }
double realAt(std::string_view line, std::size_t position) { return readCReal(line.substr(position)); }

bool isSelected(const tChannelDefinitionFileLoader& loader, std::string_view name) {
    if (loader.loadAll) {
        return true;
    }
    for (const std::string& selected : loader.selection) {
        if (selected == name) {
            return true;
        }
    }
    return false;
}

// "BO_ <id> <name>: <size> <transmitter>": only the ID and the size are read.
void readMessageLine(tChannelDefinitionFileLoader& loader, std::string_view line) {
    const std::size_t firstBlank = line.find(' ');  // the keyword's own blank at the latest
    loader.currentMessageId = static_cast<int32_t>(dbcMessageIdFromReal(realAt(line, firstBlank)));
    loader.currentMessageSize = integerAt(line, positionAfter(line, ':', firstBlank));
}

// "SG_ <name> : <start>|<count>@<order><sign> (<factor>,<offset>) [<min>|<max>] "<unit>" <receivers>"
void readSignalLine(tChannelDefinitionFileLoader& loader, std::string_view line) {
    const std::size_t nameBegin = line.find(kSignalKeyword) + kSignalKeyword.size();
    const std::size_t nameEnd = line.find(" : ", nameBegin);
    // A multiplexer indicator ("Speed m2", "Mode M") stays part of the name.
    const std::string name(upToNul(
        line.substr(nameBegin, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - nameBegin)));
    if (!isSelected(loader, name)) {
        return;
    }

    // The colon search starts at " : " itself, so it finds that colon.
    const std::size_t afterColon = positionAfter(line, ':', nameEnd == std::string_view::npos ? 0 : nameEnd);
    const int32_t startBit = integerAt(line, afterColon);
    const std::size_t afterBar = positionAfter(line, '|', afterColon);
    const int32_t bitCount = integerAt(line, afterBar);
    const std::size_t afterAt = positionAfter(line, '@', afterBar);
    const uint32_t byteOrder = integerAt(line, afterAt) == 0 ? kByteOrderBigEndian : kByteOrderLittleEndian;
    const uint32_t channelStartBit = byteOrder == kByteOrderBigEndian
                                         ? motorolaLeastSignificantStartBit(startBit, bitCount)
                                         : static_cast<uint32_t>(startBit);

    // The sign character stands just before the first blank after "@". With
    // no such blank, the line's last character is taken as the sign and the
    // factor's "(" is searched from the end of the line, which finds nothing
    // and so restarts at the beginning of the line.
    std::size_t signEnd = line.find(' ', afterAt);
    if (signEnd == std::string_view::npos) {
        signEnd = line.size();
    }
    const bool isSigned = signEnd > 0 && line[signEnd - 1] == '-';
    const uint32_t dataType = isSigned ? kDataTypeSignedInt : kDataTypeUnsignedInt;

    const std::size_t afterParen = positionAfter(line, '(', signEnd);
    const double factor = realAt(line, afterParen);
    const std::size_t afterComma = positionAfter(line, ',', afterParen);
    const double offset = realAt(line, afterComma);
    const std::size_t afterBracket = positionAfter(line, '[', afterComma);
    const double minimum = realAt(line, afterBracket);
    const std::size_t afterLimitBar = positionAfter(line, '|', afterBracket);
    const double maximum = realAt(line, afterLimitBar);

    // Without a closing quote the unit runs to the end of the line; without
    // any quote the whole line is the unit.
    const std::size_t unitBegin = positionAfter(line, '"', afterLimitBar);
    const std::size_t unitEnd = line.find('"', unitBegin);
    const std::string unit(upToNul(
        line.substr(unitBegin, unitEnd == std::string_view::npos ? std::string_view::npos : unitEnd - unitBegin)));

    loader.results.push_back(std::make_unique<ImportedChannel>(
        name.c_str(), unit.c_str(), channelStartBit, static_cast<uint32_t>(bitCount), dataType, byteOrder, factor,
        offset, minimum, maximum, static_cast<uint32_t>(loader.currentMessageId),
        static_cast<uint32_t>(loader.currentMessageSize)));
}

// The records by message ID and name, for the value type lines: they come
// after the signals they refer to, and no record is added once they begin, so
// the index is built once and each line is one search.
class RecordIndex {
public:
    explicit RecordIndex(const ImportedChannelList& records) {
        sorted_.reserve(records.size());
        for (const auto& record : records) sorted_.push_back(record.get());
        std::stable_sort(sorted_.begin(), sorted_.end(), [](const ImportedChannel* a, const ImportedChannel* b) {
            return a->messageId < b->messageId || (a->messageId == b->messageId && a->name.view() < b->name.view());
        });
    }

    // Every record of that message with exactly that name.
    template <typename Visit>
    void forEach(uint32_t messageId, std::string_view name, Visit visit) const {
        const auto below = [](const ImportedChannel* record, const std::pair<uint32_t, std::string_view>& key) {
            return record->messageId < key.first ||
                   (record->messageId == key.first && record->name.view() < key.second);
        };
        const std::pair<uint32_t, std::string_view> key{messageId, name};
        for (auto it = std::lower_bound(sorted_.begin(), sorted_.end(), key, below);
             it != sorted_.end() && (*it)->messageId == messageId && (*it)->name == name; ++it)
            visit(**it);
    }

private:
    std::vector<ImportedChannel*> sorted_;
};

// "SIG_VALTYPE_ <id> <signal> : <type>;": type 1 (single) or 2 (double) marks
// the signal of that message as an IEEE float.
void readValueTypeLine(const RecordIndex& records, std::string_view line) {
    const std::size_t firstBlank = line.find(' ');  // the keyword's own blank at the latest
    const uint32_t messageId = dbcMessageIdFromInteger(integerAt(line, firstBlank + 1));
    // The name lies between the second and third blanks; every blank counts,
    // so two blanks in a row delimit an empty item. Without a second blank
    // the searches restart at the beginning of the line.
    const std::size_t secondBlank = line.find(' ', firstBlank + 1);
    const bool hasSecondBlank = secondBlank != std::string_view::npos;
    const std::size_t nameBegin = hasSecondBlank ? secondBlank + 1 : 0;
    const std::size_t nameEnd = line.find(' ', nameBegin);
    const std::string_view name = upToNul(
        line.substr(nameBegin, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - nameBegin));
    const int32_t valueType = integerAt(line, positionAfter(line, ':', hasSecondBlank ? secondBlank : 0));
    if (valueType != 1 && valueType != 2) {
        return;
    }
    records.forEach(messageId, name, [](ImportedChannel& record) { record.dataType = kDataTypeIeeeFloat; });
}

enum class DbcReadingState { SeekMessage, InMessage, ValueTypes };

// Runs the reading loop over the whole stream. The end-of-file test comes
// before a line is examined in SeekMessage and ValueTypes, after it in
// InMessage: a last line without a line feed is examined only in InMessage.
void readDbcLines(tChannelDefinitionFileLoader& loader, DbcLineSource& source) {
    std::string line;
    line.reserve(kReservedLineLength);
    readLine(source, line);
    DbcReadingState state = DbcReadingState::SeekMessage;
    std::unique_ptr<RecordIndex> records;  // made when the value type lines begin
    for (;;) {
        switch (state) {
            case DbcReadingState::SeekMessage:
                if (source.endReached()) {
                    return;
                }
                if (contains(line, kMessageKeyword)) {
                    readMessageLine(loader, line);
                    state = DbcReadingState::InMessage;
                } else {
                    readLine(source, line);
                }
                break;
            case DbcReadingState::InMessage:
                if (source.endReached()) {
                    return;
                }
                readLine(source, line);
                if (contains(line, kSignalKeyword)) {
                    readSignalLine(loader, line);
                } else if (contains(line, kMessageKeyword)) {
                    state = DbcReadingState::SeekMessage;  // read as the next message line
                } else if (contains(line, kValueTypeKeyword)) {
                    if (source.endReached()) {
                        return;
                    }
                    state = DbcReadingState::ValueTypes;  // applied as the first value type line
                    records = std::make_unique<RecordIndex>(loader.results);
                }
                break;
            case DbcReadingState::ValueTypes:
                if (contains(line, kValueTypeKeyword)) {
                    readValueTypeLine(*records, line);
                }
                readLine(source, line);
                if (source.endReached()) {
                    return;
                }
                break;
        }
    }
}

}  // namespace

// Opens the file in binary mode so that every platform reads the same lines;
// readLine removes the carriage return of CR LF line ends itself.
// A file that cannot be opened gives kErrFileFormat with results left as they
// were. Throws std::bad_alloc; the file is closed then too.
int32_t tChannelDefinitionFileLoader::readDbcFile(const char* fileName) {
    if (fileName == nullptr) {
        return kErrFileFormat;
    }
    const FileHandle file(std::fopen(fileName, "rb"));
    if (!file) {
        return kErrFileFormat;
    }
    return readDbcStream(file.get());
}

// A stream that cannot be read (a directory opened as a file, for one) gives
// kErrFileFormat with results left as they were. Throws std::bad_alloc, and
// results then holds only complete records.
int32_t tChannelDefinitionFileLoader::readDbcStream(std::FILE* stream) {
    currentMessageId = -1;
    const std::size_t resultsBefore = results.size();
    DbcLineSource source(stream);
    readDbcLines(*this, source);
    if (source.failed()) {
        results.erase(results.begin() + static_cast<std::ptrdiff_t>(resultsBefore), results.end());
        return kErrFileFormat;
    }
    return kSuccess;
}

}  // namespace canxlate
