#include "Win.h"

#include "Wid.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <new>

namespace {
int32_t clamp(int32_t v, int32_t lo, int32_t hi) {
    return v < lo ? lo : v > hi ? hi : v;
}
int32_t cells_for(int32_t pixels) {
    return (pixels > 0 ? pixels - 1 : 0) / QZ_Win::CELL + 1;
}
} // namespace

QZ_Win::QZ_Win(int32_t w, int32_t h)
    : width(w), height(h), columns(cells_for(w)), rows(cells_for(h)) {
    cells = new QZ_Chain[size_t(columns) * size_t(rows)];
    // Cleared, as a new bitmap section is: a paint over parts no widget
    // covers then shows the same everywhere.
    for (QZ_Pic_Base<QZ_Pix_A32>* p : {&back, &scratch})
        if (p->resize(CELL, CELL)) std::memset(p->pixels, 0, qz::picture_bytes(CELL, CELL));
}

QZ_Win::~QZ_Win() {
    // Widgets still attached are detached, so none keeps a link to a window
    // that is gone.
    while (!widgets.end(widgets.first()))
        static_cast<QZ_Wid*>(widgets.first()->data)->attach(nullptr);
    delete[] cells;
}

void QZ_Win::invalidate(const QZ_Rect&) {}

namespace {
uint64_t pack(const QZ_Rect& r) {
    auto u = [](int32_t v) { return uint64_t(uint16_t(v < 0 ? 0 : v > 0xFFFF ? 0xFFFF : v)); };
    return u(r.left) | u(r.top) << 16 | u(r.right) << 32 | u(r.bottom) << 48;
}
QZ_Rect unpack(uint64_t p) {
    return {int32_t(p & 0xFFFF), int32_t(p >> 16 & 0xFFFF), int32_t(p >> 32 & 0xFFFF),
            int32_t(p >> 48)};
}
} // namespace

void QZ_Win::request_repaint(const QZ_Rect& r) {
    QZ_Rect want = {r.left < 0 ? 0 : r.left, r.top < 0 ? 0 : r.top,
                    r.right > width ? width : r.right, r.bottom > height ? height : r.bottom};
    if (want.left >= want.right || want.top >= want.bottom) return;
    uint64_t was = pending_.load(std::memory_order_relaxed);
    for (;;) {
        QZ_Rect u = want;
        if (was) {
            QZ_Rect p = unpack(was);
            u = {std::min(p.left, u.left), std::min(p.top, u.top), std::max(p.right, u.right),
                 std::max(p.bottom, u.bottom)};
        }
        if (pending_.compare_exchange_weak(was, pack(u), std::memory_order_release,
                                           std::memory_order_relaxed))
            return;
    }
}

bool QZ_Win::paint_pending() {
    uint64_t p = pending_.exchange(0, std::memory_order_acquire);
    if (!p) return false;
    invalidate(unpack(p));
    return true;
}

void QZ_Win::follow(Step s, void* data) {
    qz::PaintLock lock(paintMutex);
    step_ = s;
    stepData_ = data;
}

bool QZ_Win::refresh() {
    if (!paintMutex.lock(1000)) return false;
    step();
    paint_pending();
    paintMutex.unlock();
    return true;
}

void QZ_Win::copy_cell(void*, const QZ_Rect&, int32_t, int32_t) {}

void QZ_Win::paint(void* target, const QZ_Rect& rect) {
    if (!paintMutex.lock(1000)) return;
    // Without its two pictures (no memory for them) a window paints nothing.
    if (back.pixels && scratch.pixels && !qz::is_empty(rect) && rect.right > 0 && rect.bottom > 0) {
        int32_t r0 = clamp(rect.top, 0, INT32_MAX) / CELL,
                r1 = clamp((rect.bottom - 1) / CELL, 0, rows - 1);
        int32_t c0 = clamp(rect.left, 0, INT32_MAX) / CELL,
                c1 = clamp((rect.right - 1) / CELL, 0, columns - 1);
        for (int32_t row = r1; row >= r0; --row)
            for (int32_t column = c0; column <= c1; ++column) {
                QZ_Rect cellRect{column * CELL, row * CELL, column * CELL + CELL,
                                 row * CELL + CELL};
                QZ_Rect clip = qz::intersect(cellRect, rect);
                if (qz::is_empty(clip)) continue;
                compose_cell(column, row, clip);
                copy_cell(target, clip, clip.left - cellRect.left, clip.top - cellRect.top);
            }
    }
    paintMutex.unlock();
}

void QZ_Win::compose_cell(int32_t column, int32_t row, const QZ_Rect& clip) {
    const QZ_Chain& c = cell_at(column, row);
    for (QZ_Chain_Item* i = c.first(); !c.end(i); i = i->next) {
        auto* w = static_cast<QZ_Wid*>(i->data);
        QZ_Rect o = qz::intersect(w->rect(), clip);
        if (qz::is_empty(o)) continue;
        QZ_Rect src{o.left - w->left, o.top - w->top, o.right - w->left, o.bottom - w->top};
        int32_t bx = o.left - column * CELL, by = o.top - row * CELL;
        if (w != hovered && w->enabled) {
            if (w->visible) w->draw(back, bx, by, src);
        } else {
            draw_tinted(w, bx, by, src, w->enabled ? HOVER_TINT : DISABLED_TINT);
        }
    }
}

void QZ_Win::draw_tinted(QZ_Wid* w, int32_t bx, int32_t by, const QZ_Rect& src, double k) {
    const QZ_Rect s{bx, by, bx + (src.right - src.left), by + (src.bottom - src.top)};
    for (int32_t y = s.top; y < s.bottom; ++y)
        std::memset(scratch.row(y) + s.left, 0, size_t(s.right - s.left) * sizeof(QZ_Pix_A32));
    if (w->visible) w->draw(scratch, bx, by, src);
    for (int32_t y = s.top; y < s.bottom; ++y) {
        QZ_Pix_A32* p = scratch.row(y);
        for (int32_t x = s.left; x < s.right; ++x) {
            double a = p[x].a * k;
            if (a <= 255.0) {
                p[x].a = uint8_t(a);
            } else {
                // Already nearly opaque: brighter instead.
                auto up = [k](uint8_t c) {
                    double v = c * k;
                    return uint8_t(v < 255.0 ? v : 255.0);
                };
                p[x].r = up(p[x].r);
                p[x].g = up(p[x].g);
                p[x].b = up(p[x].b);
            }
        }
    }
    blend(scratch, back, bx, by, s);
}

QZ_Wid* QZ_Win::widget_at(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= columns * CELL || y >= rows * CELL) return nullptr;
    const QZ_Chain& c = cell_at(x / CELL, y / CELL);
    for (QZ_Chain_Item* i = c.tail.prev; i != &c.head; i = i->prev) {
        auto* w = static_cast<QZ_Wid*>(i->data);
        if (x >= w->left && x < w->left + w->width && y >= w->top && y < w->top + w->height &&
            w->hit(x - w->left, y - w->top))
            return w;
    }
    return nullptr;
}

// Each mouse event holds the paint mutex throughout: what it changes (the
// hover, the capture, a knob) is what a paint on another thread reads.
void QZ_Win::mouse_move(int32_t x, int32_t y) {
    qz::PaintLock lock(paintMutex);
    if (captured) {
        captured->drag(x - captured->left, y - captured->top);
        step(); // what the drag changed, shown at once
        return;
    }
    QZ_Wid* w = widget_at(clamp(x, 0, width - 1), clamp(y, 0, height - 1));
    // Only the controls light up under the pointer.
    if (w && !w->takes_hover()) w = nullptr;
    if (w == hovered) return;
    // Twice: the old widget repainted plain, then the new one highlighted.
    for (int round = 0; round < 2; ++round) {
        if (hovered) {
            QZ_Rect was = hovered->rect();
            hovered = w;
            invalidate(was);
        }
        hovered = w;
    }
}

void QZ_Win::button_down(int32_t x, int32_t y) {
    qz::PaintLock lock(paintMutex);
    if (hovered && hovered->enabled) {
        captured = hovered;
        captured->press(x - captured->left, y - captured->top);
        step();
    }
}

void QZ_Win::button_up() {
    qz::PaintLock lock(paintMutex);
    if (QZ_Wid* w = captured) {
        captured = nullptr;
        w->release();
    }
}

void QZ_Win::mouse_leave() {
    button_up();
}

QZ_Win_Surface::QZ_Win_Surface(int32_t w, int32_t h) : QZ_Win(w, h) {
    if (surface.resize(w, h)) std::memset(surface.pixels, 0, qz::picture_bytes(w, h));
}

void QZ_Win_Surface::copy_cell(void* target, const QZ_Rect& clip, int32_t sx, int32_t sy) {
    auto* to = static_cast<QZ_Pic_Base<QZ_Pix_A32>*>(target);
    // The last cells reach past the window; the surface ends with it.
    QZ_Rect in = qz::intersect(clip, {0, 0, to->width, to->height});
    if (!to->pixels || qz::is_empty(in)) return;
    for (int32_t y = in.top; y < in.bottom; ++y)
        std::memcpy(to->row(y) + in.left, back.row(sy + y - clip.top) + sx + (in.left - clip.left),
                    size_t(in.right - in.left) * sizeof(QZ_Pix_A32));
}
