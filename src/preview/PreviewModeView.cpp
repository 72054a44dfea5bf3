#include "preview/PreviewModeView.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "foundation/BLQUtils.h"
#include "foundation/ColoringArea.h"
#include "platform/dispatch/DispatchQueue.h"
#include "platform/dispatch/Timer.h"
#include "platform/graphics/TextLayout.h"
#include "preview/PreviewNotification.h"

namespace brindlecue {

namespace sui = platform::swiftui;
using platform::CGPoint;
using platform::CGSize;
using platform::UIColor;

namespace {

// The banner's text starts at the default font's size and may shrink to this share of it.
constexpr double kMinimumTextScale = 0.7;
// What the banner holds beside its text: the icon (at most 24 points) and the room between.
constexpr double kIconRoom = 24;
constexpr double kLabelSpacing = 6;
// The room above and below the banner's label, and the least it gives up to for wrapped lines.
constexpr double kVerticalPadding = 14;
constexpr double kLeastVerticalPadding = 4;
const UIColor kShadowColor(0.5, 0.5, 0.5);

// A number as the platform writes a double: its shortest form, always with a fraction.
std::string decimalText(double value) {
    char buffer[32];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (text.find_first_of(".eni") == std::string::npos) text += ".0";
    return text;
}

// Places the view with its centre at the point of a space whose origin is the view's: a frame
// twice the point's size, the view centred in it.
sui::View centredAt(const sui::View& view, CGPoint centre) {
    return view.frame(2 * centre.x, 2 * centre.y, sui::Alignment::center());
}

// The size of the text in the default font at the size, on one line or wrapped at the width.
CGSize textSize(const std::string& text, double fontSize, double wrapWidth = 0) {
    platform::TextStyle style;
    style.font = sui::Font::custom(sui::Font::body().name, fontSize).uiFont();
    return platform::TextLayout::measure(text, style, wrapWidth);
}

double textWidth(const std::string& text, double fontSize, double wrapWidth = 0) {
    return textSize(text, fontSize, wrapWidth).width;
}

}  // namespace

struct PreviewModeView::Shared {
    States states;
    std::shared_ptr<PreviewNotification> model;
    PositionCallback returnPreviewModePosition;
    ActionCallback returnPreviewModeAction;
    CGPoint defaultPosition;
    std::function<void()> statesChanged;
};

PreviewModeView::PreviewModeView(PositionCallback returnPreviewModePosition,
                                 ActionCallback returnPreviewModeAction, CGPoint defaultPosition)
    : shared_(std::make_shared<Shared>()) {
    shared_->returnPreviewModePosition = std::move(returnPreviewModePosition);
    shared_->returnPreviewModeAction = std::move(returnPreviewModeAction);
    shared_->defaultPosition = defaultPosition;
}

void PreviewModeView::environmentObject(std::shared_ptr<PreviewNotification> model) const {
    shared_->model = std::move(model);
}

const std::shared_ptr<PreviewNotification>& PreviewModeView::model() const {
    return shared_->model;
}

void PreviewModeView::setStatesChanged(std::function<void()> changed) const {
    shared_->statesChanged = std::move(changed);
}

const PreviewModeView::States& PreviewModeView::states() const {
    return shared_->states;
}

CGPoint PreviewModeView::defaultPosition() const {
    return shared_->defaultPosition;
}

void PreviewModeView::changed() const {
    if (auto notify = shared_->statesChanged) notify();
}

// ---- Values computed from the model.

std::optional<std::string> PreviewModeView::bannerText() const {
    const auto& model = shared_->model;
    if (!model) return std::nullopt;
    if (!model->customMessage.get().empty()) return model->customMessage.get();
    std::string messageText = text(model->message.get());
    if (!messageText.empty()) return messageText;
    return std::nullopt;
}

PreviewModeBackgroundFrame PreviewModeView::currentFrameMode() const {
    const auto& model = shared_->model;
    if (shared_->states.isMenuShown) return PreviewModeBackgroundFrame::expandXY;
    if (model && !model->customMessage.get().empty()) return PreviewModeBackgroundFrame::expand2X;
    if (model && !text(model->message.get()).empty()) return PreviewModeBackgroundFrame::expandX;
    return PreviewModeBackgroundFrame::defaultMode;
}

double PreviewModeView::bannerOffsetX() const {
    const auto& model = shared_->model;
    if (model && !model->customMessage.get().empty()) return 90;
    if (model && !text(model->message.get()).empty()) return 40;
    return 0;
}

// ---- Layout.

sui::View PreviewModeView::body() const {
    PreviewModeView self = *this;
    return sui::GeometryReader([self](const sui::GeometryProxy& proxy) { return self.content(proxy.size); });
}

sui::View PreviewModeView::content(CGSize space) const {
    if (!shared_->model) return sui::EmptyView();
    return sui::ZStack(sui::Alignment::topLeading(), {bannerLayer(), menuLayer()})
        .frame(space.width, space.height, sui::Alignment::topLeading())
        .onPreferenceChange<PreviewModePreference>([](const PreviewModePreference::Value& point) {
            if (!point) return;
            std::printf(" currentPosition : (%s, %s)\n", decimalText(point->x).c_str(),
                        decimalText(point->y).c_str());
            std::fflush(stdout);
        });
}

// The banner's text in the default font, shrunk (down to 0.7 of its size) to keep the banner
// inside the panel of its size mode (the open menu's, while the menu is open); a text that still
// does not fit wraps at the room there is. The panel of a text is 70 points high and the banner is
// centred 45 points down: two wrapped lines do not fit between paddings of 14, so the top and
// bottom paddings shrink to keep the banner inside the panel.
PreviewModeView::BannerLabel PreviewModeView::bannerLabelText(const std::string& text) const {
    const CGPoint centre{shared_->defaultPosition.x + bannerOffsetX(), shared_->defaultPosition.y};
    const CGSize panel = size(currentFrameMode());
    const double bannerWidth = std::min(300.0, 2 * std::min(centre.x, panel.width - centre.x));
    const double bannerHeight = 2 * std::min(centre.y, panel.height - centre.y);
    const double trailing = ::brindlecue::text(shared_->model->message.get()).empty() ? 15 : 20;
    const double room = std::max(40.0, bannerWidth - 15 - trailing - kIconRoom - kLabelSpacing);

    const double fullSize = sui::Font::body().size;
    const double natural = textWidth(text, fullSize);
    double fontSize = fullSize;
    if (natural > room) fontSize = fullSize * std::max(kMinimumTextScale, room / natural);
    sui::View label = sui::Text(text).font(sui::Font::custom(sui::Font::body().name, fontSize));
    if (textWidth(text, fontSize) <= room + 0.5) return {label.fixedSize(true, true), kVerticalPadding};
    // Wrapped, as wide as its longest line.
    const CGSize wrapped = textSize(text, fontSize, room);
    const double padding = std::clamp((bannerHeight - std::max(wrapped.height, kIconRoom)) / 2,
                                      kLeastVerticalPadding, kVerticalPadding);
    return {label.fixedSize(false, true).frame(wrapped.width + 0.01, std::nullopt), std::floor(padding)};
}

sui::View PreviewModeView::bannerLayer() const {
    const auto& model = shared_->model;
    const bool noMessageText = text(model->message.get()).empty();
    std::vector<sui::View> parts{image(model->icon.get())};
    double vertical = kVerticalPadding;
    if (auto shown = bannerText()) {
        BannerLabel text = bannerLabelText(*shown);
        parts.push_back(std::move(text.view));
        vertical = text.verticalPadding;
    }
    sui::View label =
        sui::HStack(sui::VerticalAlignment::center, kLabelSpacing, std::move(parts))
            .frame(sui::FlexibleFrame{40, 300, std::nullopt, std::nullopt, sui::Alignment::center()})
            .padding(sui::EdgeInsets{vertical, 15, vertical, noMessageText ? 15.0 : 20.0})
            .fixedSize(true, true)
            .foregroundColor(UIColor::blackColor())
            .background(UIColor(colorWithHex(hexColor(model->color.get()))))
            .clipShape(sui::Shape::roundedRectangle(40, sui::RoundedCornerStyle::continuous));
    PreviewModeView self = *this;
    sui::View button = sui::Button([self] { self.bannerTapped(); }, label)
                           .shadow(kShadowColor, 2, 1, 1)
                           .accessibilityIdentifier(identifier(model->state.get()));
    return sui::HStack(sui::VerticalAlignment::center, std::nullopt,
                       {centredAt(button, shared_->defaultPosition).offset(bannerOffsetX(), 0)})
        .background(UIColor::clearColor());
}

sui::View PreviewModeView::menuLayer() const {
    const States& s = shared_->states;
    PreviewModeView self = *this;
    auto row = [&](PreviewModeOptions option, BLQPreviewModeNotificationState state,
                   PreviewModeAction action) {
        return MenuItem{details(option), [self, state, action] { self.menuItemPressed(state, action); }}
            .body();
    };
    std::vector<sui::View> rows;
    if (s.showMenuItems1)
        rows.push_back(row(PreviewModeOptions::camera, BLQPreviewModeNotificationState::takingScreenshot,
                           PreviewModeAction::captureScreenShot));
    if (s.showMenuItems2)
        rows.push_back(row(PreviewModeOptions::refresh, BLQPreviewModeNotificationState::idle,
                           PreviewModeAction::replyTour));
    if (s.showMenuItems3)
        rows.push_back(row(PreviewModeOptions::exit, BLQPreviewModeNotificationState::idle,
                           PreviewModeAction::exitPreviewMode));
    sui::View column =
        centredAt(sui::VStack(sui::HorizontalAlignment::leading, std::nullopt, std::move(rows)),
                  shared_->defaultPosition)
            .offset(s.isMenuShown ? 60 : 0, 0);
    const CGPoint position = s.currentPosition;
    return sui::HStack(sui::VerticalAlignment::center, std::nullopt, {column})
        .offset(30, 140)
        .background(UIColor::clearColor())
        .overlay(sui::GeometryReader([position](const sui::GeometryProxy&) {
            return sui::ColorView(UIColor::clearColor()).preference<PreviewModePreference>(position);
        }));
}

// ---- Events.

void PreviewModeView::bannerTapped() const {
    const auto& model = shared_->model;
    const std::string messageText = model ? text(model->message.get()) : std::string();
    if (blqStrIsEmpty(platform::Value(messageText)))
        toggleMenu();
    else
        applyNotificationState(BLQPreviewModeNotificationState::idle);
}

void PreviewModeView::toggleMenu() const {
    States& s = shared_->states;
    s.isMenuShown = !s.isMenuShown;
    if (s.isMenuShown) {
        // The rows appear from the bottom up: exit now, refresh after 0.1 s, camera after 0.15 s.
        // A delayed row appears only while the menu is still open.
        s.showMenuItems3 = true;
        std::weak_ptr<Shared> weak = shared_;
        auto reveal = [weak](bool States::*row) {
            return [weak, row] {
                auto shared = weak.lock();
                if (!shared || !shared->states.isMenuShown) return;
                shared->states.*row = true;
                if (auto notify = shared->statesChanged) notify();
            };
        };
        auto main = platform::DispatchQueue::main();
        main->asyncAfter(0.1, reveal(&States::showMenuItems2));
        main->asyncAfter(0.15, reveal(&States::showMenuItems1));
    } else {
        s.showMenuItems3 = false;
        s.showMenuItems2 = false;
        s.showMenuItems1 = false;
    }
    changed();
    if (auto report = shared_->returnPreviewModePosition) report(currentFrameMode(), s.isMenuShown);
}

void PreviewModeView::menuItemPressed(BLQPreviewModeNotificationState state, PreviewModeAction action) const {
    toggleMenu();
    const auto& model = shared_->model;
    if (model && BLQPreviewModeNotificationStateFromRawValue(rawValue(state))) {
        auto look = previewNotification(state, shared_->states.isMenuShown);
        model->bgFrame.set(look->bgFrame.get());
        model->message.set(look->message.get());
        model->color.set(look->color.get());
        model->icon.set(look->icon.get());
        model->state.set(look->state.get());
        model->duration.set(look->duration.get());
        model->customMessage.set("");
    }
    if (auto report = shared_->returnPreviewModeAction) report(action);
}

void PreviewModeView::applyNotificationState(BLQPreviewModeNotificationState state) const {
    const auto& model = shared_->model;
    const bool menu = shared_->states.isMenuShown;
    if (model && BLQPreviewModeNotificationStateFromRawValue(rawValue(state))) {
        auto look = previewNotification(state, menu);
        model->message.set(look->message.get());
        model->color.set(look->color.get());
        model->icon.set(look->icon.get());
        model->bgFrame.set(look->bgFrame.get());
        model->state.set(look->state.get());
        model->duration.set(look->duration.get());
        model->customMessage.set(look->customMessage.get());
    }
    if (auto report = shared_->returnPreviewModePosition)
        report(menu ? PreviewModeBackgroundFrame::expandXY : PreviewModeBackgroundFrame::defaultMode, menu);
}

void PreviewModeView::appear() const {
    startTimer();
    States& s = shared_->states;
    s.showMenuItems1 = false;
    s.showMenuItems2 = false;
    s.showMenuItems3 = false;
    s.isMenuShown = false;
    changed();
}

void PreviewModeView::disappear() const {
    stopTimer();
}

void PreviewModeView::startTimer() const {
    // A new timer replaces the running one, so ticks are never counted twice.
    stopTimer();
    std::weak_ptr<Shared> weak = shared_;
    shared_->states.timer = platform::Timer::scheduled(1.0, true, [weak](platform::Timer& timer) {
        auto shared = weak.lock();
        if (!shared) {
            timer.invalidate();
            return;
        }
        PreviewModeView view(std::move(shared));
        view.onTimerTick();
    });
}

void PreviewModeView::stopTimer() const {
    if (auto timer = std::exchange(shared_->states.timer, nullptr)) timer->invalidate();
}

void PreviewModeView::onTimerTick() const {
    const auto& model = shared_->model;
    if (!model || model->state.get() != BLQPreviewModeNotificationState::screenshotsuccess) return;
    States& s = shared_->states;
    if (model->duration.get() < s.secondsElapsed) {
        s.secondsElapsed = 0;
        model->customMessage.set("");
        model->message.set(PreviewModeMessage::nomessage);
        applyNotificationState(BLQPreviewModeNotificationState::idle);
    }
    ++s.secondsElapsed;
}

}  // namespace brindlecue
