#include "platform/foundation/XMLParser.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <limits>
#include <mutex>

namespace brindlecue::platform {

namespace {

std::string text(const xmlChar* s) {
    return s ? reinterpret_cast<const char*>(s) : "";
}

std::string qualified(const xmlChar* prefix, const xmlChar* localName) {
    return prefix ? text(prefix) + ":" + text(localName) : text(localName);
}

void initialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

}  // namespace

struct XMLParser::Events {
    static XMLParser& parser(void* context) { return *static_cast<XMLParser*>(context); }

    // Runs the delegate call unless the parse was aborted; stops libxml2 once it is.
    template <class Call>
    static void report(void* context, Call call) {
        XMLParser& p = parser(context);
        if (p.aborted_) return;
        if (auto delegate = p.delegate_.lock()) call(*delegate, p);
        if (p.aborted_) xmlStopParser(static_cast<xmlParserCtxtPtr>(p.context_));
    }

    static void startDocument(void* context) {
        report(context, [](XMLParserDelegate& d, XMLParser& p) { d.parserDidStartDocument(p); });
    }
    static void endDocument(void* context) {
        report(context, [](XMLParserDelegate& d, XMLParser& p) { d.parserDidEndDocument(p); });
    }

    static void startElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                             const xmlChar* uri, int, const xmlChar**, int attributeCount, int,
                             const xmlChar** attributes) {
        XMLParserDelegate::Attributes list;
        // Five entries per attribute: local name, prefix, URI, value start, value end.
        for (int i = 0; i < attributeCount; ++i) {
            const xmlChar** a = attributes + 5 * i;
            list.emplace_back(qualified(a[1], a[0]), std::string(reinterpret_cast<const char*>(a[3]),
                                                                 static_cast<size_t>(a[4] - a[3])));
        }
        report(context, [&](XMLParserDelegate& d, XMLParser& p) {
            if (p.shouldProcessNamespaces) {
                d.didStartElement(p, text(localName),
                                  uri ? std::optional<std::string>(text(uri)) : std::string(),
                                  qualified(prefix, localName), list);
            } else {
                d.didStartElement(p, qualified(prefix, localName), std::nullopt, std::nullopt, list);
            }
        });
    }

    static void endElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                           const xmlChar* uri) {
        report(context, [&](XMLParserDelegate& d, XMLParser& p) {
            if (p.shouldProcessNamespaces) {
                d.didEndElement(p, text(localName),
                                uri ? std::optional<std::string>(text(uri)) : std::string(),
                                qualified(prefix, localName));
            } else {
                d.didEndElement(p, qualified(prefix, localName), std::nullopt, std::nullopt);
            }
        });
    }

    static void characters(void* context, const xmlChar* bytes, int length) {
        std::string piece(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
        report(context, [&](XMLParserDelegate& d, XMLParser& p) { d.foundCharacters(p, piece); });
    }

    static void cdata(void* context, const xmlChar* bytes, int length) {
        Data block(bytes, bytes + length);
        report(context, [&](XMLParserDelegate& d, XMLParser& p) { d.foundCDATA(p, block); });
    }

    // libxml2 reports problems here; the parse's outcome is decided afterwards from the context.
    static void structuredError(void*, xmlErrorPtr) {}
};

XMLParser::XMLParser(Data data) : data_(std::move(data)) {}

bool XMLParser::parse() {
    if (started_.exchange(true)) return false;
    initialiseLibrary();
    if (data_.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        error_ = Error::withDescription(kErrorDomain, XML_ERR_INTERNAL_ERROR, "The document is too large.");
        return false;
    }

    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startDocument = &Events::startDocument;
    handler.endDocument = &Events::endDocument;
    handler.startElementNs = &Events::startElement;
    handler.endElementNs = &Events::endElement;
    handler.characters = &Events::characters;
    handler.cdataBlock = &Events::cdata;
    handler.serror = &Events::structuredError;

    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
    if (!context) {
        error_ = Error::withDescription(kErrorDomain, XML_ERR_NO_MEMORY, "The parser could not be made.");
        return false;
    }
    context_ = context;
    xmlCtxtUseOptions(context, XML_PARSE_NONET);
    xmlParseChunk(context, reinterpret_cast<const char*>(data_.data()), static_cast<int>(data_.size()), 1);

    line_ = xmlSAX2GetLineNumber(context);
    column_ = xmlSAX2GetColumnNumber(context);
    bool wellFormed = context->wellFormed != 0;
    int code = context->errNo;
    std::string message;
    if (const xmlError* last = xmlCtxtGetLastError(context); last && last->message) message = last->message;
    context_ = nullptr;
    xmlFreeParserCtxt(context);

    if (aborted_) {
        error_ = Error::withDescription(kErrorDomain, kDelegateAbortedParseError, "The parse was aborted.");
    } else if (!wellFormed) {
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        error_ = Error::withDescription(kErrorDomain, code != 0 ? code : XML_ERR_INTERNAL_ERROR,
                                        message.empty() ? "The document is not well-formed." : message);
        if (auto delegate = delegate_.lock()) delegate->parseErrorOccurred(*this, *error_);
    }
    return !error_;
}

}  // namespace brindlecue::platform
