#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "platform/dispatch/DispatchQueue.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ClassRegistry.h"
#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

namespace brindlecue::platform {

UIView::UIView(const CGRect& frame) {
    bounds_ = CGRect(0, 0, frame.size.width, frame.size.height);
    center_ = {frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2};
}

UIView::~UIView() = default;

void UIView::didConstruct() {
    UIResponder::didConstruct();
    layer_ = makeBackingLayer();
}

std::shared_ptr<CALayer> UIView::makeBackingLayer() {
    return make<CALayer>(sharedAs<UIView>());
}

// ---------------------------------------------------------------- geometry

CGRect UIView::frame() const {
    double w = bounds_.size.width, h = bounds_.size.height;
    double ax = anchorPoint_.x * w, ay = anchorPoint_.y * h;
    if (transform_.isIdentity()) return CGRect(center_.x - ax, center_.y - ay, w, h);
    return transform_.apply(CGRect(-ax, -ay, w, h)).offsetBy(center_.x, center_.y);
}

void UIView::setFrame(const CGRect& frameIn) {
    CGRect f = frameIn.standardized();
    CGSize oldSize = bounds_.size;
    CGSize size = f.size;
    if (!transform_.isIdentity()) {
        // Only scale (and translation) transforms have a well-defined inverse for a frame.
        if (transform_.a != 0) size.width = f.size.width / std::fabs(transform_.a);
        if (transform_.d != 0) size.height = f.size.height / std::fabs(transform_.d);
    }
    bounds_.size = size;
    if (transform_.isIdentity()) {
        center_ = {f.origin.x + anchorPoint_.x * size.width, f.origin.y + anchorPoint_.y * size.height};
    } else {
        CGRect placed = transform_.apply(
            CGRect(-anchorPoint_.x * size.width, -anchorPoint_.y * size.height, size.width, size.height));
        center_ = {f.origin.x - placed.origin.x, f.origin.y - placed.origin.y};
    }
    if (!(oldSize == bounds_.size)) {
        resizeSubviews(oldSize);
        setNeedsLayout();
    }
}

void UIView::setBounds(const CGRect& bounds) {
    CGSize oldSize = bounds_.size;
    bounds_ = bounds;
    if (!(oldSize == bounds_.size)) {
        resizeSubviews(oldSize);
        setNeedsLayout();
    }
}

void UIView::setCenter(CGPoint center) {
    center_ = center;
}

void UIView::setTransform(const CGAffineTransform& transform) {
    transform_ = transform;
}

void UIView::setAlpha(double alpha) {
    alpha_ = std::clamp(alpha, 0.0, 1.0);
}

void UIView::setHidden(bool hidden) {
    hidden_ = hidden;
}

UIColor UIView::tintColor() const {
    if (tintColor_) return *tintColor_;
    if (auto s = superview()) return s->tintColor();
    return UIColor::systemBlueColor();
}

void UIView::resizeSubviews(CGSize oldSize) {
    if (!autoresizesSubviews_) return;
    double dw = bounds_.size.width - oldSize.width;
    double dh = bounds_.size.height - oldSize.height;
    // The change of each axis is shared by the flexible parts in proportion to their present
    // sizes (evenly when they are all zero).
    auto share = [](double delta, double a, bool fa, double b, bool fb, double c, bool fc, double& na,
                    double& nb, double& nc) {
        na = a, nb = b, nc = c;
        int count = int(fa) + int(fb) + int(fc);
        if (count == 0 || delta == 0) return;
        double total = (fa ? a : 0) + (fb ? b : 0) + (fc ? c : 0);
        auto part = [&](double v) { return total > 0 ? delta * v / total : delta / count; };
        if (fa) na = a + part(a);
        if (fb) nb = b + part(b);
        if (fc) nc = c + part(c);
    };
    for (const auto& sub : std::vector<std::shared_ptr<UIView>>(subviews_)) {
        uint32_t m = sub->autoresizingMask_;
        if (m == UIViewAutoresizingNone) continue;
        CGRect f = sub->frame();
        double left = f.origin.x - bounds_.origin.x, right = oldSize.width - (left + f.size.width);
        double top = f.origin.y - bounds_.origin.y, bottom = oldSize.height - (top + f.size.height);
        double nl, nw, nr, nt, nh, nb;
        share(dw, left, m & UIViewAutoresizingFlexibleLeftMargin, f.size.width,
              m & UIViewAutoresizingFlexibleWidth, right, m & UIViewAutoresizingFlexibleRightMargin, nl, nw,
              nr);
        share(dh, top, m & UIViewAutoresizingFlexibleTopMargin, f.size.height,
              m & UIViewAutoresizingFlexibleHeight, bottom, m & UIViewAutoresizingFlexibleBottomMargin, nt,
              nh, nb);
        sub->setFrame(
            CGRect(bounds_.origin.x + nl, bounds_.origin.y + nt, std::max(0.0, nw), std::max(0.0, nh)));
    }
}

// ---------------------------------------------------------------- hierarchy

std::shared_ptr<UIWindow> UIView::window() const {
    auto root = rootView();
    if (root && root->isKindOfClass("UIWindow"))
        return std::dynamic_pointer_cast<UIWindow>(std::const_pointer_cast<UIView>(root));
    return nullptr;
}

std::shared_ptr<const UIView> UIView::rootView() const {
    auto v = sharedAs<const UIView>();
    while (auto s = v->superview()) v = s;
    return v;
}

bool UIView::isDescendantOfView(const std::shared_ptr<UIView>& view) const {
    if (!view) return false;
    for (const UIView* v = this; v != nullptr;) {
        if (v == view.get()) return true;
        auto s = v->superview_.lock();
        v = s.get();
    }
    return false;
}

std::optional<size_t> UIView::indexInSuperview() const {
    auto s = superview();
    if (!s) return std::nullopt;
    for (size_t i = 0; i < s->subviews_.size(); ++i)
        if (s->subviews_[i].get() == this) return i;
    return std::nullopt;
}

void UIView::addSubview(const std::shared_ptr<UIView>& view) {
    insertSubviewImpl(view, SIZE_MAX);
}

void UIView::insertSubviewAtIndex(const std::shared_ptr<UIView>& view, size_t index) {
    insertSubviewImpl(view, index);
}

void UIView::insertSubviewAboveSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    if (!sibling || sibling->superview().get() != this) return addSubview(view);
    if (view == sibling) return;
    // Index computed after a possible removal of view from this superview.
    if (view && view->superview().get() == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        subviews_.erase(it);
        auto at = std::find(subviews_.begin(), subviews_.end(), sibling);
        subviews_.insert(at + 1, view);
        return;
    }
    insertSubviewImpl(view, *sibling->indexInSuperview() + 1);
}

void UIView::insertSubviewBelowSubview(const std::shared_ptr<UIView>& view,
                                       const std::shared_ptr<UIView>& sibling) {
    if (!sibling || sibling->superview().get() != this) return addSubview(view);
    if (view == sibling) return;
    if (view && view->superview().get() == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        subviews_.erase(it);
        auto at = std::find(subviews_.begin(), subviews_.end(), sibling);
        subviews_.insert(at, view);
        return;
    }
    insertSubviewImpl(view, *sibling->indexInSuperview());
}

void UIView::exchangeSubviewAtIndex(size_t index1, size_t index2) {
    if (index1 >= subviews_.size() || index2 >= subviews_.size()) return;
    std::swap(subviews_[index1], subviews_[index2]);
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    auto keep = *it;
    subviews_.erase(it);
    subviews_.push_back(keep);
}

void UIView::sendSubviewToBack(const std::shared_ptr<UIView>& view) {
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end()) return;
    auto keep = *it;
    subviews_.erase(it);
    subviews_.insert(subviews_.begin(), keep);
}

void UIView::insertSubviewImpl(const std::shared_ptr<UIView>& view, size_t index) {
    // A view cannot hold itself or one of its ancestors.
    if (!view || view.get() == this || isDescendantOfView(view)) return;
    auto self = sharedAs<UIView>();
    auto oldSuper = view->superview();
    if (oldSuper.get() == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        subviews_.erase(it);
        subviews_.insert(subviews_.begin() + std::min(index, subviews_.size()), view);
        return;
    }
    auto oldWindow = view->window();
    auto newWindow = window();
    bool windowChanges = oldWindow != newWindow;
    view->willMoveToSuperview(self);
    if (windowChanges) view->notifyWillMoveToWindow(newWindow);
    if (oldSuper) {
        oldSuper->willRemoveSubview(view);
        auto& siblings = oldSuper->subviews_;
        siblings.erase(std::find(siblings.begin(), siblings.end(), view));
    }
    subviews_.insert(subviews_.begin() + std::min(index, subviews_.size()), view);
    view->superview_ = self;
    if (windowChanges) view->notifyDidMoveToWindow();
    view->didMoveToSuperview();
    didAddSubview(view);
    setNeedsLayout();
}

void UIView::removeFromSuperview() {
    auto sup = superview();
    if (!sup) return;
    auto self = sharedAs<UIView>();  // keeps the view alive through its own removal
    auto oldWindow = window();
    if (auto fr = UIResponder::currentFirstResponder()) {
        if (auto frView = std::dynamic_pointer_cast<UIView>(fr); frView && frView->isDescendantOfView(self))
            frView->resignFirstResponder();
    }
    sup->willRemoveSubview(self);
    willMoveToSuperview(nullptr);
    if (oldWindow) notifyWillMoveToWindow(nullptr);
    auto& siblings = sup->subviews_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), self));
    superview_.reset();
    if (oldWindow) notifyDidMoveToWindow();
    didMoveToSuperview();
    sup->setNeedsLayout();
}

void UIView::notifyWillMoveToWindow(const std::shared_ptr<UIWindow>& newWindow) {
    willMoveToWindow(newWindow);
    for (const auto& sub : std::vector<std::shared_ptr<UIView>>(subviews_))
        sub->notifyWillMoveToWindow(newWindow);
}

void UIView::notifyDidMoveToWindow() {
    didMoveToWindow();
    if (auto vc = viewController_.lock()) vc->rootViewDidMoveToWindow();
    for (const auto& sub : std::vector<std::shared_ptr<UIView>>(subviews_)) sub->notifyDidMoveToWindow();
}

std::shared_ptr<UIView> UIView::viewWithTag(int64_t tag) {
    if (tag_ == tag) return sharedAs<UIView>();
    for (const auto& sub : subviews_)
        if (auto found = sub->viewWithTag(tag)) return found;
    return nullptr;
}

// ---------------------------------------------------------------- layout

void UIView::setNeedsLayout() {
    needsLayout_ = true;
    if (layoutScheduled_) return;
    layoutScheduled_ = true;
    std::weak_ptr<UIView> weak = std::static_pointer_cast<UIView>(weak_from_this().lock());
    DispatchQueue::main()->async([weak] {
        if (auto v = weak.lock()) {
            v->layoutScheduled_ = false;
            v->layoutIfNeeded();
        }
    });
}

void UIView::layoutIfNeeded() {
    auto self = sharedAs<UIView>();
    if (needsLayout_) {
        needsLayout_ = false;
        auto vc = viewController_.lock();
        if (vc) vc->viewWillLayoutSubviews();
        layoutSubviews();
        if (vc) vc->viewDidLayoutSubviews();
    }
    for (const auto& sub : std::vector<std::shared_ptr<UIView>>(subviews_)) sub->layoutIfNeeded();
}

void UIView::sizeToFit() {
    CGSize s = sizeThatFits(bounds_.size);
    CGRect f = frame();
    setFrame(CGRect(f.origin, s));
}

UIEdgeInsets UIView::safeAreaInsets() const {
    auto w = window();
    if (!w) return {};
    UIEdgeInsets wi = w->windowSafeAreaInsets();
    if (w.get() == this) return wi;
    CGRect r = convertRectToView(bounds_, nullptr);
    CGRect wb = w->bounds();
    UIEdgeInsets out;
    out.top = std::clamp(wi.top - (r.minY() - wb.minY()), 0.0, r.height());
    out.left = std::clamp(wi.left - (r.minX() - wb.minX()), 0.0, r.width());
    out.bottom = std::clamp(r.maxY() - (wb.maxY() - wi.bottom), 0.0, r.height());
    out.right = std::clamp(r.maxX() - (wb.maxX() - wi.right), 0.0, r.width());
    return out;
}

void UIView::addConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint) {
    if (!constraint) return;
    if (std::find(constraints_.begin(), constraints_.end(), constraint) == constraints_.end())
        constraints_.push_back(constraint);
    constraint->attachTo(sharedAs<UIView>());
}

void UIView::addConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints) addConstraint(c);
}

void UIView::removeConstraint(const std::shared_ptr<NSLayoutConstraint>& constraint) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it == constraints_.end()) return;
    constraints_.erase(it);
    constraint->attachTo(nullptr);
}

void UIView::removeConstraints(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints) removeConstraint(c);
}

// ---------------------------------------------------------------- conversion

CGPoint UIView::pointToParent(CGPoint p) const {
    CGPoint local{p.x - bounds_.origin.x - anchorPoint_.x * bounds_.size.width,
                  p.y - bounds_.origin.y - anchorPoint_.y * bounds_.size.height};
    CGPoint t = transform_.apply(local);
    return {center_.x + t.x, center_.y + t.y};
}

CGPoint UIView::pointFromParent(CGPoint p) const {
    CGPoint local = transform_.inverted().apply(CGPoint{p.x - center_.x, p.y - center_.y});
    return {local.x + bounds_.origin.x + anchorPoint_.x * bounds_.size.width,
            local.y + bounds_.origin.y + anchorPoint_.y * bounds_.size.height};
}

CGPoint UIView::convertPointToView(CGPoint point, const std::shared_ptr<const UIView>& view) const {
    // Up to this view's root, in the root's own coordinates.
    const UIView* v = this;
    CGPoint p = point;
    std::shared_ptr<const UIView> above;  // keeps v alive once it is a superview
    while (auto superview = v->superview_.lock()) {
        p = v->pointToParent(p);
        above = std::move(superview);
        v = above.get();
    }
    if (!view) return p;
    std::shared_ptr<const UIView> root = above ? std::move(above) : sharedAs<const UIView>();
    auto targetRoot = view->rootView();
    if (targetRoot != root) {
        // Two windows share the screen's coordinates; other trees are taken to share their
        // roots' coordinate spaces.
        if (root->isKindOfClass("UIWindow") && targetRoot->isKindOfClass("UIWindow"))
            p = targetRoot->pointFromParent(root->pointToParent(p));
    }
    // Down from the target's root to the target.
    std::vector<const UIView*> path;
    for (const UIView* t = view.get(); t != targetRoot.get(); t = t->superview_.lock().get())
        path.push_back(t);
    for (auto it = path.rbegin(); it != path.rend(); ++it) p = (*it)->pointFromParent(p);
    return p;
}

CGPoint UIView::convertPointFromView(CGPoint point, const std::shared_ptr<const UIView>& view) const {
    if (view) return view->convertPointToView(point, sharedAs<const UIView>());
    // From the coordinates of this view's window (its root).
    auto root = rootView();
    return root->convertPointToView(point, sharedAs<const UIView>());
}

namespace {
template <class F>
CGRect convertCorners(const CGRect& rect, F convert) {
    if (rect.isNull()) return rect;
    CGPoint p[4] = {convert(CGPoint{rect.minX(), rect.minY()}), convert(CGPoint{rect.maxX(), rect.minY()}),
                    convert(CGPoint{rect.minX(), rect.maxY()}), convert(CGPoint{rect.maxX(), rect.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const auto& q : p) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    return CGRect(x0, y0, x1 - x0, y1 - y0);
}
}  // namespace

CGRect UIView::convertRectToView(const CGRect& rect, const std::shared_ptr<const UIView>& view) const {
    return convertCorners(rect, [&](CGPoint p) { return convertPointToView(p, view); });
}

CGRect UIView::convertRectFromView(const CGRect& rect, const std::shared_ptr<const UIView>& view) const {
    return convertCorners(rect, [&](CGPoint p) { return convertPointFromView(p, view); });
}

// ---------------------------------------------------------------- hit testing and responders

std::shared_ptr<UIView> UIView::hitTest(CGPoint point, const std::shared_ptr<UIEvent>& event) {
    if (hidden_ || !userInteractionEnabled_ || alpha_ < 0.01) return nullptr;
    if (!pointInside(point, event)) return nullptr;
    // A copy of the list: a subview's hitTest may change the tree under it.
    const std::vector<std::shared_ptr<UIView>> subviews = subviews_;
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (auto hit = (*it)->hitTest((*it)->pointFromParent(point), event)) return hit;
    }
    return sharedAs<UIView>();
}

bool UIView::pointInside(CGPoint point, const std::shared_ptr<UIEvent>&) const {
    return bounds_.contains(point);
}

std::shared_ptr<UIResponder> UIView::nextResponder() const {
    if (auto vc = viewController_.lock()) return vc;
    return superview();
}

void UIView::addGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (auto old = recognizer->view()) {
        if (old.get() == this) return;
        old->removeGestureRecognizer(recognizer);
    }
    gestureRecognizers_.push_back(recognizer);
    recognizer->attachToView(sharedAs<UIView>());
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer) {
    auto it = std::find(gestureRecognizers_.begin(), gestureRecognizers_.end(), recognizer);
    if (it == gestureRecognizers_.end()) return;
    gestureRecognizers_.erase(it);
    recognizer->attachToView(nullptr);
}

// ---------------------------------------------------------------- description

namespace {
std::string autoresizeText(uint32_t m) {
    std::string out;
    auto add = [&](uint32_t bit, const char* text) {
        if (!(m & bit)) return;
        if (!out.empty()) out += "+";
        out += text;
    };
    add(UIViewAutoresizingFlexibleLeftMargin, "LM");
    add(UIViewAutoresizingFlexibleWidth, "W");
    add(UIViewAutoresizingFlexibleRightMargin, "RM");
    add(UIViewAutoresizingFlexibleTopMargin, "TM");
    add(UIViewAutoresizingFlexibleHeight, "H");
    add(UIViewAutoresizingFlexibleBottomMargin, "BM");
    return out;
}
}  // namespace

std::string UIView::description() const {
    // Appended piece by piece: dumps of the view tree describe every view.
    const std::string name = className();
    std::string out;
    out.reserve(160);
    out += '<';
    out += name;
    out += ": ";
    out += addressText();
    if (!ClassRegistry::isPlatformClass(name)) {
        auto base = ClassRegistry::nearestPlatformClass(name);
        out += "; baseClass = ";
        out += base ? *base : std::string(platformClassName());
    }
    const CGRect f = frame();
    out += "; frame = (";
    out += formatCGFloat(f.origin.x);
    out += ' ';
    out += formatCGFloat(f.origin.y);
    out += "; ";
    out += formatCGFloat(f.size.width);
    out += ' ';
    out += formatCGFloat(f.size.height);
    out += ')';
    std::vector<std::string> fields;
    describeFields(fields);
    for (const auto& field : fields) {
        out += "; ";
        out += field;
    }
    if (!transform_.isIdentity()) {
        out += "; transform = [";
        const double values[] = {transform_.a, transform_.b,  transform_.c,
                                 transform_.d, transform_.tx, transform_.ty};
        for (size_t i = 0; i < std::size(values); ++i) {
            if (i > 0) out += ", ";
            out += formatCGFloat(values[i]);
        }
        out += ']';
    }
    if (clipsToBounds_) out += "; clipsToBounds = YES";
    if (alpha_ != 1) {
        out += "; alpha = ";
        out += formatCGFloat(alpha_);
    }
    if (hidden_) out += "; hidden = YES";
    if (!opaque_) out += "; opaque = NO";
    if (autoresizingMask_ != UIViewAutoresizingNone) {
        out += "; autoresize = ";
        out += autoresizeText(autoresizingMask_);
    }
    if (!userInteractionEnabled_) out += "; userInteractionEnabled = NO";
    if (tag_ != 0) {
        out += "; tag = ";
        out += std::to_string(tag_);
    }
    if (!gestureRecognizers_.empty()) {
        out += "; gestureRecognizers = <NSArray: ";
        out += AddressRegistry::addressText(&gestureRecognizers_);
        out += '>';
    }
    if (backgroundColor_) {
        out += "; backgroundColor = ";
        out += backgroundColor_->description();
    }
    out += "; layer = ";
    out += layer_ ? layer_->description() : std::string("(null)");
    out += '>';
    return out;
}

Value UIView::valueForKey(std::string_view key) const {
    if (key == "tag") return Value(tag_);
    if (key == "hidden") return Value(hidden_);
    if (key == "alpha") return Value(alpha_);
    if (key == "accessibilityIdentifier")
        return accessibilityIdentifier_ ? Value(*accessibilityIdentifier_) : Value();
    return UIResponder::valueForKey(key);
}

}  // namespace brindlecue::platform
