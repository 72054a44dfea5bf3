#include "foundation/NSObjectKJExt.h"

#include "platform/uikit/ClassRegistry.h"

namespace brindlecue {

std::string NSObjectKJExt::getPropertyType(std::string_view attributes) {
    size_t start = 0;
    while (start <= attributes.size()) {
        size_t comma = attributes.find(',', start);
        std::string_view piece = attributes.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (!piece.empty() && piece.front() == 'T') {
            if (piece.find("FourSide") != std::string_view::npos) return "FourSide";
            if (piece == "Ti") return "int";
            if (piece == "Td" || piece == "Tf") return "double";
            if (piece == "Tq") return "NSTextAlignment";
            if (piece == "TB" || piece == "Tc") return "bool";
            if (piece == "T@") return "id";
            if (piece.size() >= 5) return std::string(piece.substr(3, piece.size() - 4));
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return "";
}

platform::Dictionary NSObjectKJExt::getPropertyNameTypes(std::string_view className) {
    platform::Dictionary out;
    for (const auto& property : platform::ClassRegistry::properties(className)) {
        out.set(property.name, getPropertyType(property.attributes));
    }
    return out;
}

}  // namespace brindlecue
