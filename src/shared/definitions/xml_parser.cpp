#include "shared/definitions/xml_parser.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace canxlate {

namespace {

constexpr std::string_view kCommentOpening = "--";
constexpr std::string_view kCDataOpening = "[CDATA[";

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
    cutLine_ = 0;
    endedOpen_ = false;
    line_ = 1;
    column_ = 0;
    state_ = State::Outside;
    openElementCount_ = 0;

    char chunk[kChunkSize];
    for (;;) {
        const std::size_t count = std::fread(chunk, 1, kChunkSize, stream);
        for (std::size_t i = 0; i < count && !error_; ++i) {
            if (chunk[i] == '\n') {
                ++line_;
                column_ = 0;
            } else {
                ++column_;
            }
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

    // A comment, section or declaration that never ends is a syntax error.
    if (state_ == State::MarkupStart || state_ == State::Comment || state_ == State::CData ||
        state_ == State::Declaration) {
        error_ = true;
    }
    if (!error_ && openElementCount_ != 0) {
        error_ = true;
        endedOpen_ = true;
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
                    if (c == '!' && nameLength_ == 0 && markup_) {
                        markupReturn_ = State::Outside;
                        markupPrefixLength_ = 0;
                        state_ = State::MarkupStart;
                    } else if (c == '?' && nameLength_ == 0) {
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
                    if (markup_) {
                        state_ = State::ContentMarkup;  // the text may go on after a comment
                    } else {
                        characterData(text_);
                        openTag();
                    }
                    break;
                default: appendToText(c); break;
            }
            break;

        case State::ContentMarkup:
            if (c == '!') {
                markupReturn_ = State::Content;
                markupPrefixLength_ = 0;
                state_ = State::MarkupStart;
            } else {
                characterData(text_);
                openTag();
                processByte(c);
            }
            break;

        case State::MarkupStart:
        case State::Comment:
        case State::CData:
        case State::Declaration: processMarkup(c); break;

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

void CXmlParser::processMarkup(char c) {
    switch (state_) {
        case State::MarkupStart: {
            markupPrefix_[markupPrefixLength_++] = c;
            const std::string_view prefix(markupPrefix_, markupPrefixLength_);
            markupRun_ = 0;
            if (prefix == kCommentOpening) {
                state_ = State::Comment;
            } else if (prefix == kCDataOpening) {
                state_ = State::CData;
            } else if (!kCommentOpening.starts_with(prefix) && !kCDataOpening.starts_with(prefix)) {
                state_ = State::Declaration;
                for (char seen : prefix) processMarkup(seen);
            }
            break;
        }
        case State::Comment:
            // Ends at "-->"; a comment holds any character but "--".
            if (c == '>' && markupRun_ >= 2) {
                endMarkup();
            } else {
                markupRun_ = c == '-' ? markupRun_ + 1 : 0;
            }
            break;
        case State::CData:
            // Ends at "]]>"; brackets that turn out not to end it are text.
            if (c == ']') {
                ++markupRun_;
            } else if (c == '>' && markupRun_ >= 2) {
                for (uint32_t i = 2; i < markupRun_; ++i) appendToText(']');
                endMarkup();
            } else {
                for (; markupRun_ > 0; --markupRun_) appendToText(']');
                appendToText(c);
            }
            break;
        default:
            // A document type declaration, with its internal subset in brackets.
            if (c == '[') {
                ++markupRun_;
            } else if (c == ']' && markupRun_ > 0) {
                --markupRun_;
            } else if (c == '>' && markupRun_ == 0) {
                endMarkup();
            } else if (c == '<' && markupRun_ == 0) {
                error_ = true;
            }
            break;
    }
}

// Back to where the markup began; its place in Content keeps the text going.
void CXmlParser::endMarkup() { state_ = markupReturn_; }

void CXmlParser::noteCut() noexcept {
    if (cutLine_ == 0) cutLine_ = line_;
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
        noteCut();
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
    } else {
        noteCut();
    }
}

void CXmlParser::appendToText(char c) {
    if (textLength_ < kTextBufferSize - 1) {
        text_[textLength_++] = c;
        text_[textLength_] = '\0';
    }
}

void CXmlParser::appendToAttribute(char c) {
    if (discardingAttribute_ || attributeCount_ == 0) {
        return;
    }
    if (attributeLength_ >= kAttributeSlotSize - 1) {
        noteCut();
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
