// A small, strict, streaming XML tokeniser. It reads a file in 4096-byte
// chunks, runs a byte-by-byte state machine and reports start tags (with their
// attributes), end tags and the text after a start tag through three callbacks.
// It builds no tree, decodes no entities and allocates nothing while parsing:
// the 16 attribute slots are allocated once, by the constructor.
//
// By default comments, CDATA sections and document type declarations are not
// recognised (a '!' after '<' starts an element name). A reader that wants
// them skipped (comments, declarations) or read as text (CDATA) calls
// recogniseMarkup() before parsing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace canxlate {

class CXmlParser {
public:
    static constexpr std::size_t kMaxNameLength = 64;
    static constexpr std::size_t kTextBufferSize = 1024;
    static constexpr std::size_t kAttributeSlotCount = 16;
    static constexpr std::size_t kAttributeSlotSize = 256;
    static constexpr std::size_t kChunkSize = 4096;

    // parseFile and parseStream results.
    static constexpr int32_t kParsed = 0;
    static constexpr int32_t kCannotOpen = 1;
    static constexpr int32_t kSyntaxError = 2;

    CXmlParser();  // throws std::bad_alloc
    virtual ~CXmlParser();
    CXmlParser(const CXmlParser&) = delete;
    CXmlParser& operator=(const CXmlParser&) = delete;

    // Opens the file in binary mode and feeds it through the state machine,
    // calling back synchronously in document order.
    int32_t parseFile(const char* fileName);
    // The same for a stream already open for binary reading, read to its end
    // and left open; kCannotOpen when reading it fails.
    int32_t parseStream(std::FILE* stream);

    // Comments and declarations are skipped, CDATA sections are text.
    void recogniseMarkup() noexcept { markup_ = true; }

    // Where the parse stopped on a syntax error, or where the input ended,
    // counted from line 1, column 1 (bytes).
    uint32_t line() const noexcept { return line_; }
    uint32_t column() const noexcept { return column_; }
    // Whether the last parse failed only because elements were left open.
    bool endedOpen() const noexcept { return endedOpen_; }
    // The line of the first element name or attribute that the last parse cut
    // to its buffer (or dropped, past 16 attributes); 0 when none was.
    uint32_t firstCutLine() const noexcept { return cutLine_; }

protected:
    // attributes: the 16 slots, each "name=value" as written (quotes removed);
    // the list ends at the first slot that starts with NUL or after slot 16.
    // The callee may write into every buffer it is given; the buffers are valid
    // only until the callback returns.
    virtual void startElement(char* name, char** attributes) = 0;
    virtual void endElement(char* name) = 0;
    virtual void characterData(char* text) = 0;

private:
    enum class State : uint8_t {
        Outside,        // between elements
        TagName,        // after '<'
        Content,        // after the '>' of a start tag
        InTag,          // after the element name or after an attribute
        AttributeText,  // inside an attribute, before any quote
        QuotedValue,    // inside a quoted value
        EmptyTagEnd,    // after a '/' inside a start tag
        EndTagName,     // after "</"
        Instruction,    // after "<?"
        // With markup recognised:
        ContentMarkup,  // after a '<' in Content, before its next character
        MarkupStart,    // after "<!", until the kind of markup is known
        Comment,        // inside "<!--"
        CData,          // inside "<![CDATA["
        Declaration,    // inside another "<!" declaration
    };

    void processByte(char c);
    void processMarkup(char c);
    void endMarkup();
    void noteCut() noexcept;
    void openTag();
    void closeAttributeList();
    void beginElement();
    void beginAttribute(char first);
    void appendToName(char c);
    void appendToText(char c);
    void appendToAttribute(char c);
    char* attributeSlot(std::size_t index);
    void reportStartElement();

    bool error_ = false;
    bool markup_ = false;
    uint32_t cutLine_ = 0;
    bool endedOpen_ = false;
    uint32_t line_ = 1;
    uint32_t column_ = 0;
    State state_ = State::Outside;
    State markupReturn_ = State::Outside;  // where a comment or CDATA section was met
    char markupPrefix_[8] = {};            // what followed "<!", up to "[CDATA["
    std::size_t markupPrefixLength_ = 0;
    uint32_t markupRun_ = 0;  // '-' or ']' just before, or the declaration's bracket depth
    int64_t openElementCount_ = 0;

    // Buffers are kept NUL-terminated after every append, so a callback may
    // be made at any point without a separate termination step.
    char elementName_[kMaxNameLength + 1] = {};
    std::size_t nameLength_ = 0;
    char text_[kTextBufferSize] = {};
    std::size_t textLength_ = 0;

    // One block holding the 16 slots of kAttributeSlotSize bytes each.
    std::unique_ptr<char[]> attributeStorage_;
    // Handed to startElement; rebuilt before every call so that a callee that
    // rewrites the pointers cannot redirect the parser's own writes.
    char* attributeList_[kAttributeSlotCount] = {};
    std::size_t attributeCount_ = 0;    // attributes begun in the current tag
    std::size_t attributeLength_ = 0;   // characters stored in the current slot
    bool discardingAttribute_ = false;  // current attribute has no slot left
};

}  // namespace canxlate
