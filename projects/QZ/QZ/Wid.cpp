#include "Wid.h"

#include "QZ_Options.h"
#include "Win.h"

#include <atomic>
#include <cstring>
#include <new>

QZ_Wid::~QZ_Wid() {
    attach(nullptr);
}

void QZ_Wid::draw(QZ_Pic_Base<QZ_Pix_A32>&, int32_t, int32_t, const QZ_Rect&) {}

void QZ_Wid::redraw() {
    update();
    if (win) win->invalidate(rect());
}

void QZ_Wid::request_redraw() {
    // The audio side: attach may be changing the link on the interface thread.
    if (QZ_Win* w = std::atomic_ref<QZ_Win*>(win).load(std::memory_order_acquire))
        w->request_repaint(rect());
}

void QZ_Wid::press(int32_t, int32_t) {}
void QZ_Wid::drag(int32_t, int32_t) {}
bool QZ_Wid::hit(int32_t, int32_t) {
    return true;
}

void QZ_Wid::attach(QZ_Win* w) {
    if (w == win) return; // attached already: no second set of cell entries
    if (QZ_Win* old = win) {
        qz::PaintLock lock(old->paintMutex);
        std::atomic_ref<QZ_Win*>(win).store(nullptr, std::memory_order_release);
        // No message may reach a widget that has left (or is being deleted).
        if (old->hovered == this) old->hovered = nullptr;
        if (old->captured == this) old->captured = nullptr;
        old->widgets.remove(&winItem);
        unplace();
    }
    if (!w) return;
    qz::PaintLock lock(w->paintMutex);
    w->widgets.insert(&winItem);
    attachedAs = ++w->attachments;
    std::atomic_ref<QZ_Win*>(win).store(w, std::memory_order_release);
    place();
}

void QZ_Wid::place() {
    // Only the cells that exist: a widget reaching past the grid (or before
    // it) gets the ones it overlaps.
    const int32_t cell = win->cell;
    int32_t c0 = left / cell, c1 = int32_t((int64_t(left) + width - 1) / cell);
    int32_t r0 = top / cell, r1 = int32_t((int64_t(top) + height - 1) / cell);
    if (c0 < 0) c0 = 0;
    if (r0 < 0) r0 = 0;
    if (c1 > win->columns - 1) c1 = win->columns - 1;
    if (r1 > win->rows - 1) r1 = win->rows - 1;
    // Division truncates toward zero: a widget wholly left of or above the
    // grid would still reach cell 0.
    if (c1 < c0 || r1 < r0 || (width > 0 && int64_t(left) + width <= 0) ||
        (height > 0 && int64_t(top) + height <= 0))
        return;
    entries = new (std::nothrow) QZ_Wid_Cell[size_t(c1 - c0 + 1) * size_t(r1 - r0 + 1)];
    if (!entries) return;
    for (int32_t r = r0; r <= r1; ++r)
        for (int32_t c = c0; c <= c1; ++c) {
            QZ_Wid_Cell& e = entries[entryCount++];
            e.item.data = this;
            e.cell = &win->cell_at(c, r);
            // Before the first widget attached later: a widget placed anew
            // keeps its place in the drawing order.
            QZ_Chain_Item* before = nullptr;
            for (QZ_Chain_Item* i = e.cell->first(); !e.cell->end(i); i = i->next)
                if (static_cast<QZ_Wid*>(i->data)->attachedAs > attachedAs) {
                    before = i;
                    break;
                }
            e.cell->insert(&e.item, before);
        }
}

void QZ_Wid::unplace() {
    for (int32_t i = 0; i < entryCount; ++i)
        entries[i].cell->remove(&entries[i].item);
    delete[] entries;
    entries = nullptr;
    entryCount = 0;
}

QZ_value QZ_Wid::geometry(QZ_Wid* o, int32_t& field, const QZ_value& v) {
    if (v.present()) {
        if (o->win) {
            qz::PaintLock lock(o->win->paintMutex);
            o->unplace();
            field = qz::as_whole(v);
            o->place();
        } else {
            field = qz::as_whole(v);
        }
    }
    return QZ_value::integer(field);
}

QZ_value QZ_Wid::m_l(QZ_Wid* o, QZ_value v) {
    return geometry(o, o->left, v);
}
QZ_value QZ_Wid::m_t(QZ_Wid* o, QZ_value v) {
    return geometry(o, o->top, v);
}
QZ_value QZ_Wid::m_w(QZ_Wid* o, QZ_value v) {
    return geometry(o, o->width, v);
}
QZ_value QZ_Wid::m_h(QZ_Wid* o, QZ_value v) {
    return geometry(o, o->height, v);
}

QZ_value QZ_Wid::m_win(QZ_Wid* o, QZ_value v) {
    if (v.present()) o->attach(v.asPtr<QZ_Win>());
    return QZ_value::handle(o->win);
}

QZ_value QZ_Wid::m_vis(QZ_Wid* o, QZ_value v) {
    if (v.present()) {
        o->visible = qz::as_whole(v);
        o->update();
    }
    return QZ_value::integer(o->visible);
}

QZ_value QZ_Wid::m_enabled(QZ_Wid* o, QZ_value v) {
    if (v.present()) {
        o->enabled = qz::as_whole(v);
        o->redraw();
    }
    return QZ_value::integer(o->enabled);
}

constinit const QZ_Entry QZ_Wid::cls[] = {
    qz::abstract(),
    qz::option<&QZ_Wid::m_l>("l"),
    qz::option<&QZ_Wid::m_t>("t"),
    qz::option<&QZ_Wid::m_w>("w"),
    qz::option<&QZ_Wid::m_h>("h"),
    qz::option<&QZ_Wid::m_win>("win"),
    qz::option<&QZ_Wid::m_vis>("vis"),
    qz::option<&QZ_Wid::m_enabled>("enabled"),
    qz::option<&QZ_Object::m_delete>("delete"),
    qz::parent(QZ_Object::cls),
};

void qz::ResName::set(const char* s) {
    delete[] text_;
    text_ = nullptr;
    if (!s) return;
    size_t n = std::strlen(s);
    text_ = new (std::nothrow) char[n + 1];
    if (text_) std::memcpy(text_, s, n + 1);
}
