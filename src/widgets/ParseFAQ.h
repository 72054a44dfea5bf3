#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "widgets/Launcher.h"
#include "widgets/Payload.h"
#include "widgets/WidgetCoding.h"

// The widget document: its setup (where the widget applies and how its button looks), its FAQ
// screens, and the parser that reads them.
namespace brindlecue::widgets {

struct Setup {
    std::optional<std::vector<std::string>> display;
    std::optional<std::string> target;
    std::optional<Launcher> launcher;
    std::optional<std::string> view, tool;

    static auto fields() {
        return std::tuple{field("display", &Setup::display), field("target", &Setup::target),
                          field("launcher", &Setup::launcher), field("view", &Setup::view),
                          field("tool", &Setup::tool)};
    }
};

// The whole document.
struct FAQPayload {
    std::optional<int64_t> version;
    std::optional<Setup> setup;
    std::optional<std::vector<Payload>> payload;

    static auto fields() {
        return std::tuple{field("version", &FAQPayload::version), field("setup", &FAQPayload::setup),
                          field("payload", &FAQPayload::payload)};
    }
};

struct FAQListModel {
    std::vector<Payload> payload;
    static auto fields() { return std::tuple{field("payload", &FAQListModel::payload)}; }
};

struct FABModel {
    std::optional<Setup> setup;
    static auto fields() { return std::tuple{field("setup", &FABModel::setup)}; }
};

struct FAQModel {
    std::optional<Payload> faq;
    static auto fields() { return std::tuple{field("faq", &FAQModel::faq)}; }
};

// Sample records of the older layer; no widget reads them.
struct Samplestruct {
    std::optional<std::string> name;
    static auto fields() { return std::tuple{field("name", &Samplestruct::name)}; }
};
struct SampleModel {
    std::optional<Samplestruct> samplestruct;
    static auto fields() { return std::tuple{field("samplestruct", &SampleModel::samplestruct)}; }
};
struct QXFAQ {
    std::string test() const { return "Hello"; }
};

// The built-in default document, one JSON object with "setup" and "payload".
extern const char* const defaultWidgetJSON;

// Reads widget texts. Stateless. A text that does not decode gives nothing; when the failure is a
// decoding error (malformed JSON, a missing required key, a wrong type, a null for a required
// value) its description is first printed to standard output as one line. A mixed value that is
// neither integer nor text fails silently.
class ParseFAQ {
public:
    using AnyKey = widgets::AnyKey;

    // One FAQ screen object (not a list).
    std::optional<Payload> decodePayload(const std::string& text) const;
    std::optional<Setup> decodeSetup(const std::string& text) const;
    std::optional<FAQPayload> decodeFAQPayload(const std::string& text) const;
    std::string getDefaultData() const { return defaultWidgetJSON; }
    std::shared_ptr<FABModel> getFABData(const std::string& data) const;
    std::shared_ptr<FAQModel> getFAQData(const std::string& data) const;

    template <class R>
    static std::optional<R> decode(const std::string& text);
};

// Parses the text (printing a failure as the parser does); exposed for the records' own use.
std::optional<platform::Value> parseWidgetJSON(const std::string& text);
void printWidgetDecodingError(const DecodingError& error);

template <class R>
std::optional<R> ParseFAQ::decode(const std::string& text) {
    auto root = parseWidgetJSON(text);
    if (!root) return std::nullopt;
    try {
        return decodeWidgetDocument<R>(*root);
    } catch (const DecodingError& error) {
        printWidgetDecodingError(error);
    } catch (const MixedValue::QuantumError&) {
    }
    return std::nullopt;
}

}  // namespace brindlecue::widgets
