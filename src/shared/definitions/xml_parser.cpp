#include "shared/definitions/xml_parser.h"

#include <cstdio>

namespace canxlate {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

CXmlParser::CXmlParser() : attributeStorage_(new char[kAttributeSlotCount * kAttributeSlotSize]()) {}

CXmlParser::~CXmlParser() = default;

int32_t CXmlParser::parseFile(const char* fileName) {
    if (fileName == nullptr) {
        return kCannotOpen;
    }
    // Closed on every way out, a callback that throws included.
    const FileHandle file(std::fopen(fileName, "rb"));
    if (!file) {
        return kCannotOpen;
    }
    return parseStream(file.get());
}

int32_t CXmlParser::parseStream(std::FILE* stream) {
    error_ = false;
    state_ = State::Outside;
    openElementCount_ = 0;

    char chunk[kChunkSize];
    for (;;) {
        const std::size_t count = std::fread(chunk, 1, kChunkSize, stream);
        for (std::size_t i = 0; i < count && !error_; ++i) {
            processByte(chunk[i]);
        }
        if (error_ || count != kChunkSize) {
            break;
        }
    }
    // A directory opens on some systems but cannot be read: it is no document.
    if (!error_ && std::ferror(stream) != 0) {
        return kCannotOpen;
    }

    if (openElementCount_ != 0) {
        error_ = true;
    }
    return error_ ? kSyntaxError : kParsed;
}

void CXmlParser::processByte(char c) {
    switch (state_) {
        case State::Outside:
            if (c == '<') {
                openTag();
            }
            break;

        case State::TagName:
            switch (c) {
                case ' ': state_ = State::InTag; break;
                case '"': break;
                case '<': error_ = true; break;
                case '>':
                    attributeSlot(0)[0] = '\0';
                    attributeCount_ = 0;
                    beginElement();
                    break;
                case '/': state_ = nameLength_ == 0 ? State::EndTagName : State::EmptyTagEnd; break;
                default:
                    if (c == '?' && nameLength_ == 0) {
                        state_ = State::Instruction;
                    } else {
                        appendToName(c);
                    }
                    break;
            }
            break;

        case State::Content:
            switch (c) {
                case '"':
                case '>': break;
                case '<':
                    characterData(text_);
                    openTag();
                    break;
                default: appendToText(c); break;
            }
            break;

        case State::InTag:
            switch (c) {
                case ' ':
                case '"': break;
                case '<': error_ = true; break;
                case '>':
                    closeAttributeList();
                    beginElement();
                    break;
                case '/':
                    closeAttributeList();
                    state_ = State::EmptyTagEnd;
                    break;
                default:
                    beginAttribute(c);
                    state_ = State::AttributeText;
                    break;
            }
            break;

        case State::AttributeText:
            switch (c) {
                case ' ':
                case '<': error_ = true; break;
                case '"': state_ = State::QuotedValue; break;
                case '>':
                    closeAttributeList();
                    beginElement();
                    break;
                default: appendToAttribute(c); break;
            }
            break;

        case State::QuotedValue:
            switch (c) {
                case '"': state_ = State::InTag; break;
                case '<': error_ = true; break;
                case '>': break;
                default: appendToAttribute(c); break;
            }
            break;

        case State::EmptyTagEnd:
            if (c == '<') {
                error_ = true;
            } else if (c == '>') {
                reportStartElement();
                endElement(elementName_);
                state_ = State::Outside;
            }
            break;

        case State::EndTagName:
            switch (c) {
                case ' ':
                case '"': break;
                case '<': error_ = true; break;
                case '>':
                    endElement(elementName_);
                    --openElementCount_;
                    state_ = State::Outside;
                    break;
                default: appendToName(c); break;
            }
            break;

        case State::Instruction:
            if (c == '<') {
                error_ = true;
            } else if (c == '>') {
                state_ = State::Outside;
            }
            break;
    }
}

void CXmlParser::openTag() {
    attributeSlot(0)[0] = '\0';
    attributeCount_ = 0;
    attributeLength_ = 0;
    discardingAttribute_ = false;
    nameLength_ = 0;
    elementName_[0] = '\0';
    state_ = State::TagName;
}

void CXmlParser::closeAttributeList() {
    if (attributeCount_ < kAttributeSlotCount) {
        attributeSlot(attributeCount_)[0] = '\0';
    }
}

void CXmlParser::beginElement() {
    reportStartElement();
    ++openElementCount_;
    textLength_ = 0;
    text_[0] = '\0';
    state_ = State::Content;
}

// A tag may carry at most 16 attributes; any further ones are dropped whole
// and the tag is still reported, with its first 16.
void CXmlParser::beginAttribute(char first) {
    if (attributeCount_ >= kAttributeSlotCount) {
        discardingAttribute_ = true;
        return;
    }
    ++attributeCount_;
    attributeLength_ = 0;
    discardingAttribute_ = false;
    appendToAttribute(first);
}

void CXmlParser::appendToName(char c) {
    if (nameLength_ < kMaxNameLength) {
        elementName_[nameLength_++] = c;
        elementName_[nameLength_] = '\0';
    }
}

void CXmlParser::appendToText(char c) {
    if (textLength_ < kTextBufferSize - 1) {
        text_[textLength_++] = c;
        text_[textLength_] = '\0';
    }
}

void CXmlParser::appendToAttribute(char c) {
    if (discardingAttribute_ || attributeCount_ == 0 || attributeLength_ >= kAttributeSlotSize - 1) {
        return;
    }
    char* slot = attributeSlot(attributeCount_ - 1);
    slot[attributeLength_++] = c;
    slot[attributeLength_] = '\0';
}

char* CXmlParser::attributeSlot(std::size_t index) { return attributeStorage_.get() + index * kAttributeSlotSize; }

void CXmlParser::reportStartElement() {
    for (std::size_t i = 0; i < kAttributeSlotCount; ++i) {
        attributeList_[i] = attributeSlot(i);
    }
    startElement(elementName_, attributeList_);
}

}  // namespace canxlate
