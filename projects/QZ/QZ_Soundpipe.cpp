#include "QZ_Soundpipe.h"

#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Interpret.h"
#include "QZ_Options.h"

#include <cstring>

QZ_Soundpipe* QZ_Soundpipe::current = nullptr;

QZ_Soundpipe::~QZ_Soundpipe() {
    // Members outlive a deleted soundpipe only by mistake; leave them whole,
    // outside any chain, rather than pointing at freed memory.
    while (!effects.end(effects.first())) {
        QZ_Effect* e = static_cast<QZ_Effect*>(effects.first()->data);
        effects.remove(&e->item);
        e->soundpipe = nullptr;
    }
    while (!buffers.end(buffers.first())) {
        QZ_Buffer* b = static_cast<QZ_Buffer*>(buffers.first()->data);
        buffers.remove(&b->item);
        if (b->soundpipe == this) {
            b->soundpipe = nullptr;
            b->requested = b->allocated; // keeps its storage at a fixed length
        }
    }
    if (current == this) current = nullptr;
}

void QZ_Soundpipe::begin_switching() {
    switchers_.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
}

void QZ_Soundpipe::end_switching() {
    switches_.fetch_add(1, std::memory_order_release);
    switchers_.fetch_sub(1, std::memory_order_release);
}

int QZ_Soundpipe::process() {
    steady_ = false;
    buffers.each<QZ_Buffer>([](QZ_Buffer* b) { b->fade = 0; });
    // Every switch read once, before any effect runs: a command may switch
    // effects during the pass. Read again as they were if a switching on
    // another thread overlapped the reading (a sequence lock's reader).
    const uint32_t busy = switchers_.load(std::memory_order_acquire);
    const uint32_t done = switches_.load(std::memory_order_acquire);
    effects.each<QZ_Effect>([](QZ_Effect* e) { e->passOn = e->on; });
    std::atomic_thread_fence(std::memory_order_acquire);
    if (busy != 0 || switchers_.load(std::memory_order_relaxed) != 0 ||
        switches_.load(std::memory_order_relaxed) != done)
        effects.each<QZ_Effect>([](QZ_Effect* e) { e->passOn = e->wasOn; });
    for (QZ_Chain_Item* i = effects.first(); !effects.end(i); i = i->next) {
        QZ_Effect* e = static_cast<QZ_Effect*>(i->data);
        const bool now = e->passOn;
        if (now || e->wasOn) {
            e->transition = int8_t(now == e->wasOn ? 0 : now ? 1 : -1);
            if (!e->prepared) e->prepare();
            if (e->prepared) e->process();
            e->transition = 0;
        }
        if (e->wasOn != now) {
            if (!now) e->reset();
            e->wasOn = now;
        }
    }
    return 0;
}

void QZ_Soundpipe::ran_steady() {
    // Left so by the last call, and no pass since: only a pass changes
    // them, and a buffer or effect joins with them so.
    if (steady_) return;
    buffers.each<QZ_Buffer>([](QZ_Buffer* b) { b->fade = 0; });
    effects.each<QZ_Effect>([](QZ_Effect* e) { e->passOn = true; });
    steady_ = true;
}

void QZ_Soundpipe::reset() {
    buffers.each<QZ_Buffer>([](QZ_Buffer* b) { b->clear(); });
    effects.each<QZ_Effect>([](QZ_Effect* e) { e->reset(); });
}

QZ_Object* QZ_Soundpipe::create() {
    if (QZ_specialobject && std::strcmp(QZ_specialobject, "current") == 0) return current;
    QZ_Soundpipe* s = new (std::nothrow) QZ_Soundpipe();
    if (s) current = s;
    return s;
}

QZ_value QZ_Soundpipe::m_bl(QZ_Soundpipe* s, QZ_value v) {
    if (v.present()) {
        // buffers that follow it allocate this many samples
        int32_t n = 0;
        if (!qz::whole_value(v, n) || n > QZ_Buffer::MAX_LENGTH)
            return qz::refused("a block length of at most 4194304 samples");
        s->bl = n;
    }
    return QZ_value::integer(s->bl);
}

QZ_value QZ_Soundpipe::m_be(QZ_Soundpipe* s, QZ_value v) {
    if (v.present()) {
        QZ_Effect* e = v.asPtr<QZ_Effect>();
        // new effects are linked before it: it must be in this chain
        if (e && e->item.chain != &s->effects)
            return qz::refused("an effect of this soundpipe, or 0");
        s->before = e;
    }
    return QZ_value::handle(s->before);
}

QZ_value QZ_Soundpipe::m_b(QZ_Soundpipe* s, QZ_value) {
    if (current) return QZ_value::integer(0);
    current = s;
    return QZ_value::integer(1);
}

QZ_value QZ_Soundpipe::m_e(QZ_Soundpipe* s, QZ_value) {
    if (current != s) return QZ_value::integer(0);
    current = nullptr;
    return QZ_value::integer(1);
}

constinit const QZ_Entry QZ_Soundpipe::cls[] = {
    qz::create_entry(&QZ_Soundpipe::create), qz::option<&QZ_Soundpipe::m_bl>("bl"),
    qz::option<&QZ_Soundpipe::m_be>("be"),   qz::option<&QZ_Soundpipe::m_b>("b"),
    qz::option<&QZ_Soundpipe::m_e>("e"),     qz::parent(QZ_Object::cls),
};
