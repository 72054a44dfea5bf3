#include "widgets/ParseFAQ.h"

#include <cstdio>

#include "platform/Error.h"

namespace brindlecue::widgets {

const char* const defaultWidgetJSON =
    R"({"setup":{"display":["dom"],"target":"","dynamicUrl":{"display_condition":"any_page","matching_condition":{"match_type":"any","conditions":[{"operator":"equal","path":""}]}},)"
    R"("launcher":{"type":"floating-action-button","placement":"bottom-right","width":32,"height":32,"background-color":"#2c88da","color":"#ffffff","file-name":"help","icon-color":"#ffffff","icon-placement":"start","text":"FAQ","list_type":"faqList","font-family":"Arial","icon-height":0},"view":"_ALL_","tool":"fab"},)"
    R"("payload":[{"meta":{"view":"_ALL_","placement":"bottom","display-params":{"border-width":0,"border-style":"solid","border-color":"#000000","corner-radius":5,"width":"80%","dim":50,"color":"#000000","height":300},)"
    R"("dismiss-params":{"touch-out":true,"touch-in":true},"dynamicUrl":{"display_condition":"any_page","matching_condition":{"match_type":"any","conditions":[{"operator":"equal","path":""}]}},)"
    R"("animation":{"transition-in":{"type":"none"},"transition-out":{"type":"none"}},"tool":"fab","background-color":"#ffffff",)"
    R"("fab":{"placement":"bottom-right","icon-color":"#ffffff","icon-placement":"start","color":"#ffffff","file-name":"help","text":"FAQ","background-color":"#2c88da","list_type":"faqList","font-family":"Arial","icon-height":0},)"
    R"("padding-top":10,"padding-right":10,"padding-bottom":10,"padding-left":10,"margin-top":1,"margin-right":1,"margin-bottom":1,"margin-left":1,"box-shadow":0,"dismiss":{"text":"Don`t show this again","placement":"right"},"id":"0"},)"
    R"("title":{"color":"#555454","background-color":"#00000000","text-align":"center","font-size":22,"text":"Need some help?"},)"
    R"("content":{"color":"#555454","background-color":"#00000000","text-align":"center","font-size":14,"line-height":140,"text":"Here are a few tours that might help you out right away )"
    "\xF0\x9F\x9A\x80"
    R"("},)"
    R"("buttons":{"layout":"horizontal","next":{"text-align":"center","text":""},"prev":{"text-align":"center","text":""},"dismiss":{"b1":"OK","b2":"CANCEL","width":24,"height":24,"color":"#000000","file-name":"expand_more"}},)"
    R"("button-list":[{"type":"button","color":"#000000","background-color":"#ffffff","align":"left","text-align":"left","id":1,"text":"How to add a profile picture"},)"
    R"({"type":"button","color":"#000000","background-color":"#ffffff","align":"left","text-align":"left","id":2,"text":"Fill in basic profile information"},)"
    R"({"type":"button","color":"#000000","background-color":"#ffffff","align":"left","text-align":"left","id":3,"text":"How to add a team member"}],)"
    R"("dismiss-forever":{"placement":"right","background-color":"#ffffff","color":"#000","text":"Don`t show me again","text-align":"right"},)"
    R"("carousel":{"border-width":0},"templateId":254,"theme":"fab","screenshot":{"view":"_ALL_","width":320,"height":568,"id":"_ALL_","json":[],"operating_system":""}}]})";

std::optional<platform::Value> parseWidgetJSON(const std::string& text) {
    platform::Error error;
    auto root = platform::Value::fromJSON(text, &error);
    if (!root || text.empty()) {
        printWidgetDecodingError(DecodingError(
            DecodingError::Kind::dataCorrupted,
            "dataCorrupted(codingPath: \"\", debugDescription: \"The given data was not valid JSON.\")"));
        return std::nullopt;
    }
    return root;
}

void printWidgetDecodingError(const DecodingError& error) {
    std::printf("%s\n", error.debugDescription().c_str());
    std::fflush(stdout);
}

std::optional<Payload> ParseFAQ::decodePayload(const std::string& text) const {
    return decode<Payload>(text);
}

std::optional<Setup> ParseFAQ::decodeSetup(const std::string& text) const {
    return decode<Setup>(text);
}

std::optional<FAQPayload> ParseFAQ::decodeFAQPayload(const std::string& text) const {
    return decode<FAQPayload>(text);
}

std::shared_ptr<FABModel> ParseFAQ::getFABData(const std::string& data) const {
    auto setup = decodeSetup(data);
    if (!setup) return nullptr;
    auto model = std::make_shared<FABModel>();
    model->setup = std::move(*setup);
    return model;
}

std::shared_ptr<FAQModel> ParseFAQ::getFAQData(const std::string& data) const {
    auto payload = decodePayload(data);
    if (!payload) return nullptr;
    auto model = std::make_shared<FAQModel>();
    model->faq = std::move(*payload);
    return model;
}

}  // namespace brindlecue::widgets
