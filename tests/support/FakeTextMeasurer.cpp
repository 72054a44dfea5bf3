#include "support/FakeTextMeasurer.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/UILabel.h"

namespace brindlecue::testsupport {

ScopedTextMeasurer::ScopedTextMeasurer() {
    platform::UILabel::setTextMeasurer(
        [this](const std::string& text, const platform::UIFont& font, double maxWidth, int lines) {
            {
                std::lock_guard lock(mutex_);
                calls_.push_back({text, font, maxWidth, lines});
            }
            if (text.empty()) return platform::CGSize{0, 0};
            double charWidth = font.pointSize * (font.bold ? 0.6 : 0.5);
            double lineHeight = font.pointSize * 1.25;
            double perLine = maxWidth > 0 ? std::max(1.0, std::floor(maxWidth / charWidth)) : text.size();
            double lineCount = std::ceil(text.size() / perLine);
            if (lines > 0) lineCount = std::min(lineCount, double(lines));
            double width = std::min<double>(text.size(), perLine) * charWidth;
            return platform::CGSize{width, lineCount * lineHeight};
        });
}

ScopedTextMeasurer::~ScopedTextMeasurer() {
    platform::UILabel::setTextMeasurer(nullptr);
}

std::vector<ScopedTextMeasurer::Call> ScopedTextMeasurer::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

}  // namespace brindlecue::testsupport
