#include "platform/graphics/CGContext.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/CGContextImpl.h"

namespace brindlecue::platform {
namespace {

// Far enough to stand for "everything" in user space, near enough for Cairo's fixed-point math.
constexpr double kFar = 1e5;

cairo_matrix_t toCairo(const CGAffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

CGAffineTransform fromCairo(const cairo_matrix_t& m) {
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

// Three box blurs approximate a Gaussian of the given deviation, on one alpha plane.
void blurAlpha(std::vector<float>& a, int w, int h, double sigma) {
    if (sigma <= 0.3) return;
    int box = std::max(1, int(std::floor(std::sqrt(4 * sigma * sigma + 1))));
    int r = box / 2;
    std::vector<float> tmp(std::max(w, h));
    auto pass = [&](int count, int len, auto at) {
        for (int line = 0; line < count; ++line) {
            double sum = 0;
            int size = 2 * r + 1;
            for (int i = -r; i <= r; ++i) sum += (i >= 0 && i < len) ? at(line, i) : 0;
            for (int i = 0; i < len; ++i) {
                tmp[i] = float(sum / size);
                int out = i - r, in = i + r + 1;
                if (out >= 0) sum -= at(line, out);
                if (in < len) sum += at(line, in);
            }
            for (int i = 0; i < len; ++i) at(line, i) = tmp[i];
        }
    };
    for (int k = 0; k < 3; ++k) {
        pass(h, w, [&](int y, int x) -> float& { return a[size_t(y) * w + x]; });
        pass(w, h, [&](int x, int y) -> float& { return a[size_t(y) * w + x]; });
    }
}

}  // namespace

cairo_operator_t cairoOperator(CGBlendMode mode) {
    switch (mode) {
        case CGBlendMode::Normal: return CAIRO_OPERATOR_OVER;
        case CGBlendMode::Multiply: return CAIRO_OPERATOR_MULTIPLY;
        case CGBlendMode::Clear: return CAIRO_OPERATOR_CLEAR;
        case CGBlendMode::Copy: return CAIRO_OPERATOR_SOURCE;
        case CGBlendMode::SourceIn: return CAIRO_OPERATOR_IN;
        case CGBlendMode::SourceOut: return CAIRO_OPERATOR_OUT;
        case CGBlendMode::SourceAtop: return CAIRO_OPERATOR_ATOP;
        case CGBlendMode::DestinationOver: return CAIRO_OPERATOR_DEST_OVER;
        case CGBlendMode::DestinationIn: return CAIRO_OPERATOR_DEST_IN;
        case CGBlendMode::DestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    }
    return CAIRO_OPERATOR_OVER;
}

cairo_surface_t* cairoSurfaceForImage(const CGImage& image) {
    auto* data = reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(image.premultipliedARGB().data()));
    return cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, image.width(), image.height(),
                                               image.width() * 4);
}

std::optional<CGGradient> CGGradient::create(std::vector<UIColor> colors, std::vector<double> locations) {
    if (colors.empty()) return std::nullopt;
    if (locations.empty()) {
        for (size_t i = 0; i < colors.size(); ++i)
            locations.push_back(colors.size() == 1 ? 0 : double(i) / double(colors.size() - 1));
    }
    if (locations.size() != colors.size()) return std::nullopt;
    return CGGradient{std::move(colors), std::move(locations)};
}

// ---- Impl

CGContext::Impl::~Impl() {
    if (cr) cairo_destroy(cr);
    if (surface) cairo_surface_destroy(surface);
}

void CGContext::Impl::setSource(const UIColor& c) {
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha);
}

cairo_filter_t CGContext::Impl::filter() const {
    switch (state.interpolation) {
        case CGInterpolationQuality::None: return CAIRO_FILTER_NEAREST;
        case CGInterpolationQuality::Low: return CAIRO_FILTER_FAST;
        case CGInterpolationQuality::High: return CAIRO_FILTER_BEST;
        default: return CAIRO_FILTER_GOOD;
    }
}

void CGContext::Impl::draw(const std::function<void()>& op) {
    if (state.alpha >= 1 && !state.shadowOn()) {
        cairo_set_operator(cr, cairoOperator(state.blend));
        op();
        return;
    }
    // Paint into a group first, then composite it with alpha and shadow.
    cairo_path_t* path = cairo_copy_path(cr);
    cairo_new_path(cr);
    cairo_push_group(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    op();
    cairo_pattern_t* group = cairo_pop_group(cr);
    composite(group, state);
    cairo_pattern_destroy(group);
}

void CGContext::Impl::composite(cairo_pattern_t* group, const State& s) {
    if (s.shadowOn()) paintShadow(group, s);
    cairo_save(cr);
    cairo_set_source(cr, group);
    cairo_set_operator(cr, cairoOperator(s.blend));
    cairo_paint_with_alpha(cr, std::clamp(s.alpha, 0.0, 1.0));
    cairo_restore(cr);
}

void CGContext::Impl::paintShadow(cairo_pattern_t* group, const State& s) {
    cairo_surface_t* src = nullptr;
    if (cairo_pattern_get_surface(group, &src) != CAIRO_STATUS_SUCCESS) return;
    if (cairo_surface_get_type(src) != CAIRO_SURFACE_TYPE_IMAGE) return;
    cairo_surface_flush(src);
    int w = cairo_image_surface_get_width(src), h = cairo_image_surface_get_height(src);
    int stride = cairo_image_surface_get_stride(src);
    const unsigned char* data = cairo_image_surface_get_data(src);
    if (!data || w <= 0 || h <= 0) return;
    double devOffX = 0, devOffY = 0;
    cairo_surface_get_device_offset(src, &devOffX, &devOffY);

    // Only the part of the layer that has content casts a shadow: find it first.
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < w; ++x) {
            if (row[x] >> 24) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0) return;
    double sigma = s.shadowBlur / 2 * scale;
    int margin = int(std::ceil(3 * sigma));
    int cw = x1 - x0 + 1, ch = y1 - y0 + 1;
    int mw = cw + 2 * margin, mh = ch + 2 * margin;
    if (int64_t(mw) * mh > kMaxPixels) return;
    std::vector<float> alpha(size_t(mw) * mh, 0.f);
    for (int y = 0; y < ch; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y + y0) * stride) + x0;
        for (int x = 0; x < cw; ++x) alpha[size_t(y + margin) * mw + x + margin] = float(row[x] >> 24) / 255.f;
    }
    blurAlpha(alpha, mw, mh, sigma);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, mw, mh);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(mask);
        return;
    }
    cairo_surface_flush(mask);
    unsigned char* m = cairo_image_surface_get_data(mask);
    int mstride = cairo_image_surface_get_stride(mask);
    for (int y = 0; y < mh; ++y)
        for (int x = 0; x < mw; ++x)
            m[size_t(y) * mstride + x] = uint8_t(std::lround(std::clamp(alpha[size_t(y) * mw + x], 0.f, 1.f) * 255));
    cairo_surface_mark_dirty(mask);

    // The offset is in base space: only the base transform's linear part maps it to pixels.
    double ox = base.a * s.shadowOffset.width + base.c * s.shadowOffset.height;
    double oy = base.b * s.shadowOffset.width + base.d * s.shadowOffset.height;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    const UIColor& c = *s.shadowColor;
    cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha * std::clamp(s.alpha, 0.0, 1.0));
    cairo_set_operator(cr, cairoOperator(s.blend));
    cairo_mask_surface(cr, mask, -devOffX + x0 - margin + ox, -devOffY + y0 - margin + oy);
    cairo_restore(cr);
    cairo_surface_destroy(mask);
}

void CGContext::Impl::appendPath(const CGPath& path, size_t from) {
    const auto& elements = path.elements();
    for (size_t i = from; i < elements.size(); ++i) {
        const auto& e = elements[i];
        switch (e.type) {
            case CGPathElementType::MoveToPoint: cairo_move_to(cr, e.points[0].x, e.points[0].y); break;
            case CGPathElementType::AddLineToPoint: cairo_line_to(cr, e.points[0].x, e.points[0].y); break;
            case CGPathElementType::AddQuadCurveToPoint: {
                double x0 = e.points[0].x, y0 = e.points[0].y;
                if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &x0, &y0);
                CGPoint q = e.points[0], p = e.points[1];
                cairo_curve_to(cr, x0 + 2.0 / 3 * (q.x - x0), y0 + 2.0 / 3 * (q.y - y0), p.x + 2.0 / 3 * (q.x - p.x),
                               p.y + 2.0 / 3 * (q.y - p.y), p.x, p.y);
                break;
            }
            case CGPathElementType::AddCurveToPoint:
                cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                               e.points[2].y);
                break;
            case CGPathElementType::CloseSubpath: cairo_close_path(cr); break;
        }
    }
}

// ---- Creation

std::shared_ptr<CGContext> CGContext::createBitmap(int width, int height, bool opaque) {
    if (width <= 0 || height <= 0 || width > CGImage::kMaxSide || height > CGImage::kMaxSide) return nullptr;
    if (int64_t(width) * height > kMaxPixels) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->surface = cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(impl->surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    impl->cr = cairo_create(impl->surface);
    impl->width = width;
    impl->height = height;
    impl->opaque = opaque;
    // The platform's bitmap space: y up from the bottom row.
    impl->base = {1, 0, 0, -1, 0, double(height)};
    cairo_matrix_t m = toCairo(impl->base);
    cairo_set_matrix(impl->cr, &m);
    return std::shared_ptr<CGContext>(new CGContext(std::move(impl)));
}

std::shared_ptr<CGContext> CGContext::createImageContext(CGSize size, bool opaque, double scale) {
    if (!(scale > 0) || !(size.width > 0) || !(size.height > 0)) return nullptr;
    double w = std::ceil(size.width * scale - 1e-9), h = std::ceil(size.height * scale - 1e-9);
    if (w > CGImage::kMaxSide || h > CGImage::kMaxSide) return nullptr;
    auto ctx = createBitmap(int(w), int(h), opaque);
    if (!ctx) return nullptr;
    ctx->impl_->scale = scale;
    ctx->impl_->base = CGAffineTransform::makeScale(scale, scale);
    cairo_matrix_t m = toCairo(ctx->impl_->base);
    cairo_set_matrix(ctx->impl_->cr, &m);
    return ctx;
}

CGContext::CGContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
CGContext::~CGContext() = default;

int CGContext::pixelWidth() const { return impl_->width; }
int CGContext::pixelHeight() const { return impl_->height; }
double CGContext::scale() const { return impl_->scale; }
CGSize CGContext::size() const { return {impl_->width / impl_->scale, impl_->height / impl_->scale}; }

// ---- State

void CGContext::saveGState() {
    impl_->saved.push_back(impl_->state);
    cairo_save(impl_->cr);
}

void CGContext::restoreGState() {
    if (impl_->saved.empty()) return;
    impl_->state = impl_->saved.back();
    impl_->saved.pop_back();
    cairo_restore(impl_->cr);
}

void CGContext::translateCTM(double tx, double ty) { cairo_translate(impl_->cr, tx, ty); }
void CGContext::scaleCTM(double sx, double sy) {
    if (sx != 0 && sy != 0) cairo_scale(impl_->cr, sx, sy);
}
void CGContext::rotateCTM(double radians) { cairo_rotate(impl_->cr, radians); }

void CGContext::concatCTM(const CGAffineTransform& t) {
    if (t.a * t.d - t.b * t.c == 0) return;
    cairo_matrix_t m = toCairo(t);
    cairo_transform(impl_->cr, &m);
}

CGAffineTransform CGContext::getCTM() const {
    cairo_matrix_t m;
    cairo_get_matrix(impl_->cr, &m);
    return fromCairo(m);
}

void CGContext::setFillColor(const UIColor& color) { impl_->state.fill = color; }
void CGContext::setStrokeColor(const UIColor& color) { impl_->state.stroke = color; }
UIColor CGContext::fillColor() const { return impl_->state.fill; }
void CGContext::setLineWidth(double width) { cairo_set_line_width(impl_->cr, std::max(0.0, width)); }

void CGContext::setLineCap(CGLineCap cap) {
    cairo_set_line_cap(impl_->cr, cap == CGLineCap::Round    ? CAIRO_LINE_CAP_ROUND
                                  : cap == CGLineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                             : CAIRO_LINE_CAP_BUTT);
}

void CGContext::setLineJoin(CGLineJoin join) {
    cairo_set_line_join(impl_->cr, join == CGLineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                                   : join == CGLineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                               : CAIRO_LINE_JOIN_MITER);
}

void CGContext::setMiterLimit(double limit) { cairo_set_miter_limit(impl_->cr, limit); }
void CGContext::setAlpha(double alpha) { impl_->state.alpha = std::clamp(alpha, 0.0, 1.0); }
void CGContext::setBlendMode(CGBlendMode mode) { impl_->state.blend = mode; }
void CGContext::setInterpolationQuality(CGInterpolationQuality q) { impl_->state.interpolation = q; }
void CGContext::setShouldAntialias(bool aa) {
    cairo_set_antialias(impl_->cr, aa ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void CGContext::setShadow(CGSize offset, double blur, std::optional<UIColor> color) {
    impl_->state.shadowOffset = offset;
    impl_->state.shadowBlur = std::max(0.0, blur);
    impl_->state.shadowColor = color;
}

// ---- Path

void CGContext::beginPath() { cairo_new_path(impl_->cr); }
void CGContext::moveToPoint(CGPoint p) { cairo_move_to(impl_->cr, p.x, p.y); }

void CGContext::addLineToPoint(CGPoint p) {
    if (!cairo_has_current_point(impl_->cr)) return;
    cairo_line_to(impl_->cr, p.x, p.y);
}

void CGContext::addCurveToPoint(CGPoint c1, CGPoint c2, CGPoint end) {
    if (!cairo_has_current_point(impl_->cr)) return;
    cairo_curve_to(impl_->cr, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
}

void CGContext::addQuadCurveToPoint(CGPoint control, CGPoint end) {
    if (!cairo_has_current_point(impl_->cr)) return;
    double x0, y0;
    cairo_get_current_point(impl_->cr, &x0, &y0);
    cairo_curve_to(impl_->cr, x0 + 2.0 / 3 * (control.x - x0), y0 + 2.0 / 3 * (control.y - y0),
                   end.x + 2.0 / 3 * (control.x - end.x), end.y + 2.0 / 3 * (control.y - end.y), end.x, end.y);
}

namespace {
// Appends what a CGPath building call adds after the context's current point.
template <class Build>
void appendFromCurrent(CGContext& ctx, CGContext::Impl& impl, Build build) {
    CGPath p;
    bool had = cairo_has_current_point(impl.cr);
    if (had) p.moveToPoint(ctx.currentPoint());
    build(p);
    // The leading move stood for the current point and is not appended.
    impl.appendPath(p, had ? 1 : 0);
}
}  // namespace

void CGContext::addArc(CGPoint center, double radius, double startAngle, double endAngle, bool clockwise) {
    appendFromCurrent(*this, *impl_,
                      [&](CGPath& p) { p.addArc(center, radius, startAngle, endAngle, clockwise); });
}

void CGContext::addArcToPoint(CGPoint p1, CGPoint p2, double radius) {
    if (!cairo_has_current_point(impl_->cr)) return;
    appendFromCurrent(*this, *impl_, [&](CGPath& p) { p.addArcToPoint(p1, p2, radius); });
}

void CGContext::addRect(const CGRect& rect) { impl_->appendPath(CGPath::withRect(rect)); }
void CGContext::addEllipseInRect(const CGRect& rect) { impl_->appendPath(CGPath::withEllipseInRect(rect)); }
void CGContext::addPath(const CGPath& path) { impl_->appendPath(path); }
void CGContext::closePath() {
    if (cairo_has_current_point(impl_->cr)) cairo_close_path(impl_->cr);
}
bool CGContext::isPathEmpty() const { return !cairo_has_current_point(impl_->cr); }

CGPoint CGContext::currentPoint() const {
    if (!cairo_has_current_point(impl_->cr)) return {};
    double x, y;
    cairo_get_current_point(impl_->cr, &x, &y);
    return {x, y};
}

CGPath CGContext::copyPath() const {
    CGPath out;
    cairo_path_t* path = cairo_copy_path(impl_->cr);
    bool afterClose = false;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t* d = &path->data[i];
        switch (d->header.type) {
            case CAIRO_PATH_MOVE_TO:
                // Cairo repeats the subpath's start after a close; the platform does not.
                if (!(afterClose && out.currentPoint() == CGPoint{d[1].point.x, d[1].point.y}))
                    out.moveToPoint({d[1].point.x, d[1].point.y});
                break;
            case CAIRO_PATH_LINE_TO: out.addLineToPoint({d[1].point.x, d[1].point.y}); break;
            case CAIRO_PATH_CURVE_TO:
                out.addCurveToPoint({d[1].point.x, d[1].point.y}, {d[2].point.x, d[2].point.y},
                                    {d[3].point.x, d[3].point.y});
                break;
            case CAIRO_PATH_CLOSE_PATH: out.closeSubpath(); break;
        }
        afterClose = d->header.type == CAIRO_PATH_CLOSE_PATH;
    }
    cairo_path_destroy(path);
    return out;
}

// ---- Painting

void CGContext::drawPath(CGPathDrawingMode mode) {
    auto& im = *impl_;
    bool fill = mode != CGPathDrawingMode::Stroke;
    bool stroke = mode == CGPathDrawingMode::Stroke || mode == CGPathDrawingMode::FillStroke ||
                  mode == CGPathDrawingMode::EOFillStroke;
    bool evenOdd = mode == CGPathDrawingMode::EOFill || mode == CGPathDrawingMode::EOFillStroke;
    im.draw([&] {
        if (fill) {
            cairo_set_fill_rule(im.cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
            im.setSource(im.state.fill);
            if (stroke)
                cairo_fill_preserve(im.cr);
            else
                cairo_fill(im.cr);
        }
        if (stroke) {
            im.setSource(im.state.stroke);
            if (cairo_get_line_width(im.cr) > 0)
                cairo_stroke(im.cr);
            else
                cairo_new_path(im.cr);
        }
    });
    cairo_new_path(im.cr);
}

void CGContext::fillRect(const CGRect& rect) {
    beginPath();
    addRect(rect);
    fillPath();
}

void CGContext::strokeRect(const CGRect& rect) {
    beginPath();
    addRect(rect);
    strokePath();
}

void CGContext::clearRect(const CGRect& rect) {
    cairo_save(impl_->cr);
    cairo_new_path(impl_->cr);
    impl_->appendPath(CGPath::withRect(rect));
    cairo_set_operator(impl_->cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(impl_->cr);
    cairo_restore(impl_->cr);
}

void CGContext::fillEllipseInRect(const CGRect& rect) {
    beginPath();
    addEllipseInRect(rect);
    fillPath();
}

void CGContext::strokeEllipseInRect(const CGRect& rect) {
    beginPath();
    addEllipseInRect(rect);
    strokePath();
}

void CGContext::clip() {
    cairo_set_fill_rule(impl_->cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(impl_->cr);
}

void CGContext::eoClip() {
    cairo_set_fill_rule(impl_->cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(impl_->cr);
}

void CGContext::clipToRect(const CGRect& rect) {
    cairo_path_t* keep = cairo_copy_path(impl_->cr);
    cairo_new_path(impl_->cr);
    addRect(rect);
    clip();
    cairo_append_path(impl_->cr, keep);
    cairo_path_destroy(keep);
}

void CGContext::blurBackdrop(const CGRect& rect0, double deviation) {
    CGRect rect = rect0.standardized();
    if (rect.isEmpty() || !(deviation > 0)) return;
    auto& im = *impl_;
    // The rectangle's pixels, and around them the margin the blur reads from.
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (CGPoint p : {CGPoint{rect.minX(), rect.minY()}, CGPoint{rect.maxX(), rect.minY()},
                      CGPoint{rect.minX(), rect.maxY()}, CGPoint{rect.maxX(), rect.maxY()}}) {
        double x = p.x, y = p.y;
        cairo_user_to_device(im.cr, &x, &y);
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
    cairo_matrix_t m;
    cairo_get_matrix(im.cr, &m);
    double sigma = deviation * std::sqrt(std::abs(m.xx * m.yy - m.xy * m.yx));
    int margin = int(std::ceil(3 * sigma));
    int bx0 = std::max(0, int(std::floor(minX))), by0 = std::max(0, int(std::floor(minY)));
    int bx1 = std::min(im.width, int(std::ceil(maxX))), by1 = std::min(im.height, int(std::ceil(maxY)));
    if (bx0 >= bx1 || by0 >= by1) return;
    int rx0 = std::max(0, bx0 - margin), ry0 = std::max(0, by0 - margin);
    int rx1 = std::min(im.width, bx1 + margin), ry1 = std::min(im.height, by1 + margin);
    int w = rx1 - rx0, h = ry1 - ry0;
    if (int64_t(w) * h > kMaxPixels) return;

    // What lies beneath: the context's own pixels, with the open layer's drawing over them.
    cairo_surface_t* snap = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    if (cairo_surface_status(snap) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(snap);
        return;
    }
    cairo_t* copy = cairo_create(snap);
    cairo_set_source_surface(copy, im.surface, -rx0, -ry0);
    cairo_paint(copy);
    cairo_surface_t* layer = cairo_get_group_target(im.cr);
    if (layer && layer != im.surface) {
        cairo_set_source_surface(copy, layer, -rx0, -ry0);
        cairo_paint(copy);
    }
    cairo_destroy(copy);

    cairo_surface_flush(snap);
    unsigned char* data = cairo_image_surface_get_data(snap);
    int stride = cairo_image_surface_get_stride(snap);
    std::vector<float> planes[4];
    for (auto& plane : planes) plane.resize(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) planes[c][size_t(y) * w + x] = float((row[x] >> (8 * c)) & 0xFF);
    }
    for (auto& plane : planes) blurAlpha(plane, w, h, sigma);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < w; ++x) {
            // Premultiplied: no component above the alpha.
            uint32_t a = uint32_t(std::lround(std::clamp(planes[3][size_t(y) * w + x], 0.f, 255.f)));
            uint32_t word = a << 24;
            for (int c = 0; c < 3; ++c) {
                uint32_t v = uint32_t(std::lround(std::clamp(planes[c][size_t(y) * w + x], 0.f, float(a))));
                word |= v << (8 * c);
            }
            row[x] = word;
        }
    }
    cairo_surface_mark_dirty(snap);

    // Put back over the rectangle, inside the clip, in device space.
    cairo_path_t* keep = cairo_copy_path(im.cr);
    cairo_save(im.cr);
    cairo_new_path(im.cr);
    im.appendPath(CGPath::withRect(rect));
    cairo_identity_matrix(im.cr);
    cairo_set_source_surface(im.cr, snap, rx0, ry0);
    cairo_set_operator(im.cr, CAIRO_OPERATOR_SOURCE);
    cairo_fill(im.cr);
    cairo_restore(im.cr);
    cairo_new_path(im.cr);
    cairo_append_path(im.cr, keep);
    cairo_path_destroy(keep);
    cairo_surface_destroy(snap);
}

CGRect CGContext::clipBoundingBox() const {
    double x1, y1, x2, y2;
    cairo_clip_extents(impl_->cr, &x1, &y1, &x2, &y2);
    return CGRect(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1));
}

void CGContext::drawImage(const CGRect& rect0, const CGImage& image) {
    CGRect rect = rect0.standardized();
    if (rect.isEmpty()) return;
    auto& im = *impl_;
    cairo_path_t* keep = cairo_copy_path(im.cr);
    cairo_new_path(im.cr);
    cairo_surface_t* surface = cairoSurfaceForImage(image);
    im.draw([&] {
        cairo_save(im.cr);
        // The image's top row at the rectangle's maximum y, as the platform draws it.
        cairo_translate(im.cr, rect.minX(), rect.maxY());
        cairo_scale(im.cr, rect.width() / image.width(), -rect.height() / image.height());
        cairo_set_source_surface(im.cr, surface, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(im.cr), im.filter());
        cairo_pattern_set_extend(cairo_get_source(im.cr), CAIRO_EXTEND_PAD);
        cairo_rectangle(im.cr, 0, 0, image.width(), image.height());
        cairo_fill(im.cr);
        cairo_restore(im.cr);
    });
    cairo_surface_destroy(surface);
    cairo_new_path(im.cr);
    cairo_append_path(im.cr, keep);
    cairo_path_destroy(keep);
}

namespace {
void addStops(cairo_pattern_t* p, const CGGradient& g) {
    for (size_t i = 0; i < g.colors.size(); ++i) {
        const auto& c = g.colors[i];
        cairo_pattern_add_color_stop_rgba(p, std::clamp(g.locations[i], 0.0, 1.0), c.red, c.green, c.blue, c.alpha);
    }
}
}  // namespace

void CGContext::drawLinearGradient(const CGGradient& g, CGPoint start, CGPoint end, uint32_t options) {
    auto& im = *impl_;
    bool before = options & kCGGradientDrawsBeforeStartLocation, after = options & kCGGradientDrawsAfterEndLocation;
    double dx = end.x - start.x, dy = end.y - start.y, len = std::hypot(dx, dy);
    if (len == 0) return;
    double ux = dx / len, uy = dy / len, px = -uy, py = ux;
    cairo_path_t* keep = cairo_copy_path(im.cr);
    cairo_new_path(im.cr);
    cairo_save(im.cr);
    // One-sided extension: clip away the half-plane that must stay empty.
    if (before != after) {
        CGPoint from = after ? start : end;
        double s = after ? 1 : -1;
        cairo_move_to(im.cr, from.x + px * kFar, from.y + py * kFar);
        cairo_line_to(im.cr, from.x - px * kFar, from.y - py * kFar);
        cairo_line_to(im.cr, from.x - px * kFar + s * ux * kFar, from.y - py * kFar + s * uy * kFar);
        cairo_line_to(im.cr, from.x + px * kFar + s * ux * kFar, from.y + py * kFar + s * uy * kFar);
        cairo_close_path(im.cr);
        cairo_clip(im.cr);
    }
    cairo_pattern_t* p = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    addStops(p, g);
    cairo_pattern_set_extend(p, (before || after) ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    im.draw([&] {
        cairo_set_source(im.cr, p);
        cairo_paint(im.cr);
    });
    cairo_pattern_destroy(p);
    cairo_restore(im.cr);
    cairo_append_path(im.cr, keep);
    cairo_path_destroy(keep);
}

void CGContext::drawRadialGradient(const CGGradient& g, CGPoint c0, double r0, CGPoint c1, double r1,
                                   uint32_t options) {
    auto& im = *impl_;
    bool before = options & kCGGradientDrawsBeforeStartLocation, after = options & kCGGradientDrawsAfterEndLocation;
    cairo_path_t* keep = cairo_copy_path(im.cr);
    cairo_new_path(im.cr);
    cairo_save(im.cr);
    if (before && !after) {
        cairo_arc(im.cr, c1.x, c1.y, std::max(0.0, r1), 0, 2 * M_PI);
        cairo_clip(im.cr);
    } else if (after && !before && r0 > 0) {
        cairo_rectangle(im.cr, c0.x - kFar, c0.y - kFar, 2 * kFar, 2 * kFar);
        cairo_arc(im.cr, c0.x, c0.y, r0, 0, 2 * M_PI);
        cairo_set_fill_rule(im.cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_clip(im.cr);
    }
    cairo_pattern_t* p = cairo_pattern_create_radial(c0.x, c0.y, std::max(0.0, r0), c1.x, c1.y, std::max(0.0, r1));
    addStops(p, g);
    cairo_pattern_set_extend(p, (before || after) ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    im.draw([&] {
        cairo_set_source(im.cr, p);
        cairo_paint(im.cr);
    });
    cairo_pattern_destroy(p);
    cairo_restore(im.cr);
    cairo_append_path(im.cr, keep);
    cairo_path_destroy(keep);
}

void CGContext::beginTransparencyLayer() {
    auto& im = *impl_;
    im.layers.push_back(im.state);
    im.state.alpha = 1;
    im.state.blend = CGBlendMode::Normal;
    im.state.shadowColor.reset();
    cairo_push_group(im.cr);
}

void CGContext::endTransparencyLayer() {
    auto& im = *impl_;
    if (im.layers.empty()) return;
    cairo_pattern_t* group = cairo_pop_group(im.cr);
    im.state = im.layers.back();
    im.layers.pop_back();
    im.composite(group, im.state);
    cairo_pattern_destroy(group);
}

std::shared_ptr<const CGImage> CGContext::makeImage() const {
    auto& im = *impl_;
    cairo_surface_flush(im.surface);
    const unsigned char* data = cairo_image_surface_get_data(im.surface);
    int stride = cairo_image_surface_get_stride(im.surface);
    std::vector<uint32_t> pixels(size_t(im.width) * im.height);
    for (int y = 0; y < im.height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
        uint32_t* out = pixels.data() + size_t(y) * im.width;
        if (im.opaque)
            for (int x = 0; x < im.width; ++x) out[x] = row[x] | 0xFF000000u;
        else
            std::copy(row, row + im.width, out);
    }
    return CGImage::fromPremultipliedARGB(im.width, im.height, std::move(pixels), !im.opaque);
}

}  // namespace brindlecue::platform
