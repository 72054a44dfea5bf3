#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/Value.h"

namespace brindlecue::platform {

class XMLParser;

// What an event parser reports while it reads a document, in document order, on the thread that
// called parse(). Every call has a default that ignores it.
class XMLParserDelegate {
public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;

    virtual ~XMLParserDelegate() = default;
    virtual void parserDidStartDocument(XMLParser& parser) {}
    virtual void parserDidEndDocument(XMLParser& parser) {}
    // With namespace processing the element name is the local name and the namespace URI and the
    // qualified name are given; without it the element name is the qualified name and both are
    // none. Attributes by qualified name, in document order.
    virtual void didStartElement(XMLParser& parser, const std::string& elementName,
                                 const std::optional<std::string>& namespaceURI,
                                 const std::optional<std::string>& qualifiedName,
                                 const Attributes& attributes) {}
    virtual void didEndElement(XMLParser& parser, const std::string& elementName,
                               const std::optional<std::string>& namespaceURI,
                               const std::optional<std::string>& qualifiedName) {}
    // Text may arrive in several pieces.
    virtual void foundCharacters(XMLParser& parser, const std::string& text) {}
    virtual void foundCDATA(XMLParser& parser, const Data& block) {}
    virtual void parseErrorOccurred(XMLParser& parser, const Error& error) {}
};

// The platform's event-driven XML parser over a document in memory, on libxml2's SAX interface.
// A parser does nothing until parse() is called; it parses once. External entities and the
// network are never loaded.
class XMLParser {
public:
    static constexpr const char* kErrorDomain = "NSXMLParserErrorDomain";
    // The error of a parse stopped by abortParsing().
    static constexpr int64_t kDelegateAbortedParseError = 512;

    explicit XMLParser(Data data);

    const Data& data() const { return data_; }
    void setDelegate(std::weak_ptr<XMLParserDelegate> delegate) { delegate_ = std::move(delegate); }
    bool shouldProcessNamespaces = false;

    // Reads the document on the calling thread, reporting to the delegate; false when the
    // document is not well-formed or the parse was aborted (parserError() says why), or when the
    // parser already ran.
    bool parse();
    // From inside a delegate call: stops the parse after that call.
    void abortParsing() { aborted_ = true; }
    std::optional<Error> parserError() const { return error_; }
    int64_t lineNumber() const { return line_; }
    int64_t columnNumber() const { return column_; }

private:
    struct Events;
    friend struct Events;

    const Data data_;
    std::weak_ptr<XMLParserDelegate> delegate_;
    std::atomic<bool> started_{false};
    bool aborted_ = false;
    std::optional<Error> error_;
    int64_t line_ = 0;
    int64_t column_ = 0;
    void* context_ = nullptr;  // the libxml2 parser context while parsing
};

}  // namespace brindlecue::platform
