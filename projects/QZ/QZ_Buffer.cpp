#include "QZ_Buffer.h"

#include "QZ_Options.h"
#include "QZ_Soundpipe.h"

#include <cstdlib>
#include <cstring>

QZ_Buffer::QZ_Buffer() : item(this) {
    setLength(-1);
    if (QZ_Soundpipe* s = QZ_Soundpipe::current) s->buffers.insert(&item);
}

QZ_Buffer::~QZ_Buffer() {
    release();
    if (item.chain) item.chain->remove(&item);
}

void QZ_Buffer::release() {
    std::free(data);
    data = copy = nullptr;
    allocated = 0;
}

int32_t QZ_Buffer::length() const {
    if (requested == -1) return soundpipe ? int32_t(soundpipe->bl) : 0;
    return requested;
}

int32_t QZ_Buffer::usable() const {
    if (!data) return 0;
    int32_t n = length();
    return n < 0 ? 0 : n > allocated ? allocated : n;
}

void QZ_Buffer::setLength(int32_t v) {
    release();
    requested = v;
    soundpipe = nullptr;
    if (v == 0) return;
    int64_t n = v;
    if (v == -1) {
        soundpipe = QZ_Soundpipe::current;
        n = soundpipe ? int32_t(soundpipe->bl) : 0;
    }
    // no storage for nothing, for a negative count, or when memory runs out
    if (n <= 0 || uint64_t(n) * 2 > SIZE_MAX / sizeof(int32_t)) {
        requested = 0;
        soundpipe = nullptr;
        return;
    }
    data = static_cast<int32_t*>(std::malloc(size_t(n) * 2 * sizeof(int32_t)));
    if (!data) {
        requested = 0;
        soundpipe = nullptr;
        return;
    }
    allocated = int32_t(n);
    copy = data + n;
    ring %= allocated;
    std::memset(data, 0, size_t(n) * sizeof(int32_t));
}

void QZ_Buffer::clear() {
    if (data) std::memset(data, 0, size_t(allocated) * sizeof(int32_t));
}

QZ_value QZ_Buffer::m_l(QZ_Buffer* b, QZ_value v) {
    if (v.present()) b->setLength(v.asInt());
    return QZ_value::integer(b->length());
}

QZ_value QZ_Buffer::m_t(QZ_Buffer* b, QZ_value v) {
    if (v.present()) b->title = v.asText();
    return QZ_value::text(b->title);
}

QZ_value QZ_Buffer::m_limit(QZ_Buffer* b, QZ_value v) {
    if (v.present()) b->limit = qz::as_whole(v);
    return QZ_value::integer(b->limit);
}

constinit const QZ_Entry QZ_Buffer::cls[] = {
    qz::creates<QZ_Buffer>(),
    qz::option<&QZ_Buffer::m_l>("l"),
    qz::option<&QZ_Buffer::m_t>("t"),
    qz::option<&QZ_Buffer::m_limit>("limit"),
    qz::option<&QZ_Object::m_delete>("delete"),
    qz::parent(QZ_Object::cls),
};
