#include "log_decoder.h"

#include <cstring>

#include "can_id_text.h"
#include "csv_field.h"
#include "shortest_double.h"

namespace canxlate::cli {

LogDecoder::LogDecoder(const MessageCatalog& catalog, OutputFormat format, OutputBuffer& out)
    : catalog_(catalog), format_(format), out_(out), values_(catalog.largestChannelCount()) {
    texts_.reserve(catalog.messages().size());
    for (const MessageInfo& message : catalog.messages()) {
        MessageText& text = texts_.emplace_back();
        for (const std::string& name : message.channelNames) {
            std::string label = format_ == OutputFormat::kCsv ? csvField(name) + ',' : ' ' + name + '=';
            text.valueSpace += label.size() + kShortestDoubleMaxLength + 1;
            text.labels.push_back(std::move(label));
        }
        text.valueSpace += 1;
    }
}

void LogDecoder::writeHeader() {
    if (format_ == OutputFormat::kCsv) out_.append(kCsvHeader);
}

std::string_view LogDecoder::decodeLine(std::string_view line) {
    const ParsedLine parsed = parseLogLine(line);
    switch (parsed.kind) {
        case LineKind::kBlank: return {};
        case LineKind::kMalformed: ++counts_.malformedLines; return parsed.problem;
        case LineKind::kFrame: break;
    }
    ++counts_.framesRead;
    switch (parsed.frame.kind) {
        case FrameKind::kData: decodeFrame(parsed.frame); break;
        case FrameKind::kRemote: ++counts_.remote; break;
        case FrameKind::kFlexibleData: ++counts_.flexibleData; break;
        case FrameKind::kError: ++counts_.errorFrames; break;
    }
    return {};
}

void LogDecoder::decodeFrame(const LogFrame& frame) {
    const int32_t index = catalog_.find(frame.id);
    if (index == MessageLookup::kNotFound ||
        convertFrameToChannel(catalog_.table(), frame.id, frame.payload.data(), values_.data()) != kSuccess) {
        ++counts_.notInTable;
        return;
    }
    ++counts_.decoded;
    buildPrefix(frame);
    const MessageText& text = texts_[static_cast<std::size_t>(index)];
    if (format_ == OutputFormat::kCsv) {
        writeCsvRows(text, values_.data());
    } else {
        writeReadableLine(text, values_.data());
    }
}

void LogDecoder::buildPrefix(const LogFrame& frame) {
    char id[8];
    const std::string_view idText(id, static_cast<std::size_t>(writeCanId(id, {frame.id, frame.extended}) - id));
    prefix_.clear();
    if (format_ == OutputFormat::kCsv) {
        if (csvFieldNeedsQuotes(frame.timestamp) || csvFieldNeedsQuotes(frame.interfaceName)) {
            prefix_ += csvField(frame.timestamp);
            prefix_ += ',';
            prefix_ += csvField(frame.interfaceName);
        } else {
            prefix_ += frame.timestamp;
            prefix_ += ',';
            prefix_ += frame.interfaceName;
        }
        prefix_ += ',';
        prefix_ += idText;
        prefix_ += ',';
    } else {
        if (!frame.timestamp.empty()) {
            prefix_ += '(';
            prefix_ += frame.timestamp;
            prefix_ += ") ";
        }
        prefix_ += frame.interfaceName;
        prefix_ += ' ';
        prefix_ += idText;
        prefix_ += ' ';
    }
}

void LogDecoder::writeCsvRows(const MessageText& text, const double* values) {
    const std::size_t rows = text.labels.size();
    char* out = out_.reserve(rows * prefix_.size() + text.valueSpace);
    for (std::size_t i = 0; i < rows; ++i) {
        std::memcpy(out, prefix_.data(), prefix_.size());
        out += prefix_.size();
        const std::string& label = text.labels[i];
        std::memcpy(out, label.data(), label.size());
        out = writeShortestDouble(out + label.size(), values[i]);
        *out++ = '\n';
    }
    out_.commit(out);
}

void LogDecoder::writeReadableLine(const MessageText& text, const double* values) {
    char* out = out_.reserve(prefix_.size() + text.valueSpace);
    std::memcpy(out, prefix_.data(), prefix_.size());
    out += prefix_.size();
    for (std::size_t i = 0; i < text.labels.size(); ++i) {
        const std::string& label = text.labels[i];
        std::memcpy(out, label.data(), label.size());
        out = writeShortestDouble(out + label.size(), values[i]);
    }
    *out++ = '\n';
    out_.commit(out);
}

}  // namespace canxlate::cli
