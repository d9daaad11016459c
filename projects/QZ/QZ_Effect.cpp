#include "QZ_Effect.h"

#include "QZ_Options.h"
#include "QZ_Soundpipe.h"

#include <cstring>

namespace qz {
const char* const mode_names[MODE_COUNT] = {"set", "add", "sub", "stn", "adn", "sbn"};
}

QZ_Effect::QZ_Effect() : item(this) {
    reset();
    if (QZ_Soundpipe* s = QZ_Soundpipe::current) {
        soundpipe = s;
        s->effects.insert(&item, s->before ? &s->before->item : nullptr);
    }
}

QZ_Effect::~QZ_Effect() {
    leave();
}

void QZ_Effect::leave() {
    if (!soundpipe) return;
    soundpipe->effects.remove(&item);
    if (soundpipe->before == this) soundpipe->before = nullptr;
    soundpipe = nullptr;
}

int32_t* QZ_Effect::samples(QZ_Buffer* b) {
    if (!b) return nullptr;
    int32_t s = transition;
    if (s != b->fade) {
        int32_t n = b->usable();
        int32_t* d = b->data;
        const int32_t* c = b->copy;
        if (b->fade == -1) {
            for (int32_t i = 0; i < n; ++i)
                d[i] = int32_t((int64_t(d[i]) * i + int64_t(c[i]) * (n - i)) / n);
        } else if (b->fade == 1) {
            for (int32_t i = 0; i < n; ++i)
                d[i] = int32_t((int64_t(c[i]) * i + int64_t(d[i]) * (n - i)) / n);
        }
        if (s != 0 && n > 0) std::memcpy(b->copy, d, size_t(n) * sizeof(int32_t));
    }
    b->fade = s;
    return s == 0 ? b->data : b->copy;
}

QZ_value QZ_Effect::m_before(QZ_Effect* e, QZ_value v) {
    QZ_Soundpipe* s = QZ_Soundpipe::current;
    QZ_Effect* f = v.asPtr<QZ_Effect>();
    // Only within the current soundpipe, and only before one of its members.
    if (v.present() && s && f && f != e && f->item.chain == &s->effects &&
        (e->item.chain == &s->effects || !e->item.chain)) {
        s->effects.remove(&e->item);
        s->effects.insert(&e->item, &f->item);
        e->soundpipe = s;
    }
    QZ_Chain* c = e->item.chain;
    bool last = !c || c->end(e->item.next);
    return QZ_value::handle(last ? nullptr : e->item.next->data);
}

QZ_value QZ_Effect::m_mode(QZ_Effect* e, QZ_value v) {
    return qz::keyword_option(e->mode, qz::mode_names, qz::MODE_COUNT, v);
}

QZ_value QZ_Effect::m_clock(QZ_Effect* e, QZ_value v) {
    if (v.present()) {
        if (!qz::whole_value(v, e->clock)) return qz::refused("a rate in hertz");
        e->clockChanged();
    }
    return QZ_value::integer(e->clock);
}

QZ_value QZ_Effect::m_on(QZ_Effect* e, QZ_value v) {
    if (v.present()) e->on = v.asInt() != 0;
    return QZ_value::integer(e->on ? 1 : 0);
}

constinit const QZ_Entry QZ_Effect::cls[] = {
    qz::abstract(),
    qz::option<&QZ_Effect::m_before>("before"),
    qz::option<&QZ_Effect::m_mode>("mode"),
    qz::option<&QZ_Effect::m_clock>("clock"),
    qz::option<&QZ_Effect::m_on>("on"),
    qz::option<&QZ_Object::m_delete>("delete"),
    qz::parent(QZ_Object::cls),
};
