#include "platform/foundation/XMLParser.h"

#include <gtest/gtest.h>

namespace brindlecue::platform {
namespace {

Data bytes(const std::string& s) {
    return Data(s.begin(), s.end());
}

// Writes every event as one line.
struct Recorder final : XMLParserDelegate {
    std::vector<std::string> events;
    std::string abortAt;
    void parserDidStartDocument(XMLParser&) override { events.push_back("start"); }
    void parserDidEndDocument(XMLParser&) override { events.push_back("end"); }
    void didStartElement(XMLParser& parser, const std::string& name, const std::optional<std::string>& uri,
                         const std::optional<std::string>& qName, const Attributes& attributes) override {
        std::string line = "<" + name;
        if (uri) line += " {" + *uri + "} " + qName.value_or("?");
        for (const auto& [k, v] : attributes) line += " " + k + "=" + v;
        events.push_back(line + ">");
        if (name == abortAt) parser.abortParsing();
    }
    void didEndElement(XMLParser&, const std::string& name, const std::optional<std::string>&,
                       const std::optional<std::string>&) override {
        events.push_back("</" + name + ">");
    }
    void foundCharacters(XMLParser&, const std::string& text) override {
        if (!events.empty() && events.back().rfind("text ", 0) == 0) {
            events.back() += text;
        } else {
            events.push_back("text " + text);
        }
    }
    void foundCDATA(XMLParser&, const Data& block) override {
        events.push_back("cdata " + std::string(block.begin(), block.end()));
    }
    void parseErrorOccurred(XMLParser&, const Error& error) override {
        events.push_back("error " + std::to_string(error.code()));
    }
};

TEST(XMLParser, ReportsTheDocumentInOrderOnlyWhenAsked) {
    XMLParser parser(
        bytes(R"(<?xml version="1.0"?><feed xmlns:k="urn:k" v="2"><k:item id="a">x &amp; y</k:item>)"
              R"(<![CDATA[<raw>]]></feed>)"));
    auto recorder = std::make_shared<Recorder>();
    parser.setDelegate(recorder);
    EXPECT_TRUE(recorder->events.empty());
    ASSERT_TRUE(parser.parse());
    EXPECT_EQ(recorder->events,
              (std::vector<std::string>{"start", "<feed v=2>", "<k:item id=a>", "text x & y", "</k:item>",
                                        "cdata <raw>", "</feed>", "end"}));
    EXPECT_FALSE(parser.parse());  // once only

    XMLParser namespaced(bytes(R"(<k:item xmlns:k="urn:k"/>)"));
    namespaced.shouldProcessNamespaces = true;
    auto second = std::make_shared<Recorder>();
    namespaced.setDelegate(second);
    ASSERT_TRUE(namespaced.parse());
    EXPECT_EQ(second->events[1], "<item {urn:k} k:item>");
}

TEST(XMLParser, MalformedDocumentsAndAbortsFailWithAnError) {
    XMLParser broken(bytes("<a><b></a>"));
    auto recorder = std::make_shared<Recorder>();
    broken.setDelegate(recorder);
    EXPECT_FALSE(broken.parse());
    ASSERT_TRUE(broken.parserError());
    EXPECT_EQ(broken.parserError()->domain(), XMLParser::kErrorDomain);
    EXPECT_EQ(recorder->events.back(), "error " + std::to_string(broken.parserError()->code()));

    XMLParser empty(Data{});
    EXPECT_FALSE(empty.parse());

    XMLParser aborted(bytes("<a><stop/><after/></a>"));
    auto stopper = std::make_shared<Recorder>();
    stopper->abortAt = "stop";
    aborted.setDelegate(stopper);
    EXPECT_FALSE(aborted.parse());
    EXPECT_EQ(aborted.parserError()->code(), XMLParser::kDelegateAbortedParseError);
    EXPECT_EQ(stopper->events, (std::vector<std::string>{"start", "<a>", "<stop>"}));

    // An external entity is never fetched.
    XMLParser external(bytes(R"(<!DOCTYPE a [<!ENTITY e SYSTEM "http://127.0.0.1:1/x">]><a>&e;</a>)"));
    auto quiet = std::make_shared<Recorder>();
    external.setDelegate(quiet);
    external.parse();
    for (const auto& e : quiet->events) EXPECT_EQ(e.find("text"), std::string::npos) << e;
}

// Aborts the parse at its n-th report, whatever the report is.
struct AbortingRecorder final : XMLParserDelegate {
    explicit AbortingRecorder(size_t at) : at(at) {}
    void note(XMLParser& parser, std::string event) {
        events.push_back(std::move(event));
        if (events.size() == at) parser.abortParsing();
    }
    void parserDidStartDocument(XMLParser& p) override { note(p, "start"); }
    void parserDidEndDocument(XMLParser& p) override { note(p, "end"); }
    void didStartElement(XMLParser& p, const std::string& name, const std::optional<std::string>&,
                         const std::optional<std::string>&, const Attributes&) override {
        note(p, "<" + name);
    }
    void didEndElement(XMLParser& p, const std::string& name, const std::optional<std::string>&,
                       const std::optional<std::string>&) override {
        note(p, "</" + name);
    }
    void foundCharacters(XMLParser& p, const std::string& text) override { note(p, "text " + text); }
    void foundCDATA(XMLParser& p, const Data&) override { note(p, "cdata"); }
    size_t at;
    std::vector<std::string> events;
};

TEST(XMLParser, AnAbortFromAnyReportEndsTheParseRightThere) {
    const Data document = bytes("<a><b>t</b><![CDATA[c]]></a>");
    XMLParser whole(document);
    auto all = std::make_shared<AbortingRecorder>(0);
    whole.setDelegate(all);
    ASSERT_TRUE(whole.parse());
    ASSERT_EQ(all->events, (std::vector<std::string>{"start", "<a", "<b", "text t", "</b", "cdata", "</a", "end"}));
    for (size_t at = 1; at < all->events.size(); ++at) {
        XMLParser parser(document);
        auto recorder = std::make_shared<AbortingRecorder>(at);
        parser.setDelegate(recorder);
        EXPECT_FALSE(parser.parse()) << at;
        EXPECT_EQ(recorder->events.size(), at) << all->events[at - 1];
        ASSERT_TRUE(parser.parserError());
        EXPECT_EQ(parser.parserError()->code(), XMLParser::kDelegateAbortedParseError);
    }
    // Without a delegate the document is still read through.
    XMLParser unheard(document);
    EXPECT_TRUE(unheard.parse());
}

TEST(XMLParser, WithNamespacesAnElementOutsideAnyHasAnEmptyOne) {
    XMLParser parser(bytes("<plain><inner/></plain>"));
    parser.shouldProcessNamespaces = true;
    auto recorder = std::make_shared<Recorder>();
    parser.setDelegate(recorder);
    ASSERT_TRUE(parser.parse());
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"start", "<plain {} plain>", "<inner {} inner>", "</inner>",
                                                          "</plain>", "end"}));
}

}  // namespace
}  // namespace brindlecue::platform
