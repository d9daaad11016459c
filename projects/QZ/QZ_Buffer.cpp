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
    QZ_Soundpipe* pipe = v == -1 ? QZ_Soundpipe::current : nullptr;
    allocate(v, pipe, v == -1 ? (pipe ? int64_t(pipe->bl) : 0) : int64_t(v));
}

void QZ_Buffer::setLengthOf(const QZ_Buffer& other) {
    if (other.requested == -1 && other.soundpipe)
        allocate(-1, other.soundpipe, other.allocated);
    else
        allocate(other.length(), nullptr, other.length());
}

void QZ_Buffer::allocate(int32_t v, QZ_Soundpipe* pipe, int64_t n) {
    release();
    requested = v;
    soundpipe = nullptr;
    if (v == 0) return;
    // no storage for nothing, for a negative count, for more than the limit
    // (commands refuse those first), or when memory runs out
    if (n <= 0 || n > MAX_LENGTH) {
        requested = 0;
        return;
    }
    data = static_cast<int32_t*>(std::malloc(size_t(n) * 2 * sizeof(int32_t)));
    if (!data) {
        requested = 0;
        return;
    }
    allocated = int32_t(n);
    copy = data + n;
    ring %= allocated;
    std::memset(data, 0, size_t(n) * sizeof(int32_t));
    if (pipe) {
        // A buffer that follows a soundpipe is listed by it, so that deleting
        // the soundpipe fixes its length instead of leaving it a dangling link.
        soundpipe = pipe;
        if (item.chain != &pipe->buffers) {
            if (item.chain) item.chain->remove(&item);
            pipe->buffers.insert(&item);
        }
    }
}

void QZ_Buffer::clear() {
    if (data) std::memset(data, 0, size_t(allocated) * sizeof(int32_t));
}

QZ_value QZ_Buffer::m_l(QZ_Buffer* b, QZ_value v) {
    if (v.present()) {
        int32_t n = 0;
        // a negative count other than -1 gives no storage, as 0 does
        if (!qz::whole_value(v, n) || n > MAX_LENGTH)
            return qz::refused("a length of at most 4194304 samples");
        b->setLength(n);
    }
    return QZ_value::integer(b->length());
}

QZ_value QZ_Buffer::m_t(QZ_Buffer* b, QZ_value v) {
    if (v.present()) b->title = v.asText();
    return QZ_value::text(b->title);
}

QZ_value QZ_Buffer::m_limit(QZ_Buffer* b, QZ_value v) {
    if (v.present() && !qz::whole_value(v, b->limit)) return qz::refused("a number");
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
