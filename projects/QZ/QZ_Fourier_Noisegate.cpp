#include "QZ_Fourier_Noisegate.h"

#include "QZ_Math.h"
#include "QZ_Options.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

namespace {

// 1024 / (2^31 - 1) from the extended constant: undoes the transforms' scale
// and the gains' 21 fraction bits.
constexpr double K = double(1024.0L * 4.656612875245797e-10L);

// The gate runs its parts itself: they must not also run in a pass. They are
// its own, deleted with it.
template <class E> E* part(QZ_Object* owner) {
    E* e = new (std::nothrow) E();
    if (e) {
        e->leave();
        e->owner = owner;
    }
    return e;
}

QZ_Buffer* empty_buffer(QZ_Object* owner) {
    QZ_Buffer* b = new (std::nothrow) QZ_Buffer();
    if (b) {
        b->setLength(0);
        b->owner = owner;
    }
    return b;
}

// out[b] = K (E[b] conj(HB[b])) + K (X[b] conj(HA[b])), each part truncated.
void convolve(int32_t* out, const int32_t* E, const int32_t* HB, const int32_t* X,
              const int32_t* HA, int32_t N) {
    for (int32_t b = 0; b < 2 * N; b += 2) {
        const double er = E[b], ei = E[b + 1], br = HB[b], bi = HB[b + 1];
        const double xr = X[b], xi = X[b + 1], ar = HA[b], ai = HA[b + 1];
        const double re = K * (er * br + ei * bi) + K * (xr * ar + xi * ai);
        const double im = K * (ei * br - er * bi) + K * (xi * ar - xr * ai);
        out[b] = qz::trunc32(re);
        out[b + 1] = qz::trunc32(im);
    }
}

bool holds(const QZ_Buffer* b, int32_t n) {
    return b && b->usable() >= n;
}

} // namespace

QZ_Fourier_Noisegate::QZ_Fourier_Noisegate() {
    delayed = empty_buffer(this);
    profile = empty_buffer(this);
    gains = empty_buffer(this);
    windowed = part<QZ_Fourier_Transform>(this);
    late = part<QZ_Fourier_Transform>(this);
    response = part<QZ_Fourier_Transform>(this);
    firstHalf = part<QZ_Fourier_Transform>(this);
    secondHalf = part<QZ_Fourier_Transform>(this);
    delay = part<QZ_Effect_Deline>(this);
    if (!delayed || !profile || !gains || !windowed || !late || !response || !firstHalf ||
        !secondHalf || !delay)
        return;
    for (QZ_Fourier_Transform* t : {windowed, late, response})
        QZ_Fourier_Transform::m_s(t, QZ_value::integer(5));
    windowed->window = 1;
    late->i = delayed;
    response->direction = 1;
    response->i = gains;
    firstHalf->i = secondHalf->i = response->work;
    // one group of gain 1 writing the delayed signal, one tap of amplitude 1 at D = 512
    QZ_Effect_Deline::m_g(delay, QZ_EMPTY);
    QZ_Effect_Deline::m_ga(delay, QZ_value::integer(1));
    QZ_Effect_Deline::m_go(delay, QZ_value::handle(delayed));
    QZ_Effect_Deline::m_d(delay, QZ_EMPTY);
    QZ_Effect_Deline::m_da(delay, QZ_value::integer(1));
    QZ_Effect_Deline::m_dt(delay, QZ_value::integer(512));
    made = delay->groups && delay->groups->taps;
}

QZ_Fourier_Noisegate::~QZ_Fourier_Noisegate() {
    delete windowed;
    delete late;
    delete response;
    delete firstHalf;
    delete secondHalf;
    delete delay;
    delete delayed;
    delete profile;
    delete gains;
    // outputs given by reference are the gate's too; one given twice goes once
    if (o2 != o1) delete o2;
    delete o1;
}

int32_t QZ_Fourier_Noisegate::bins() const {
    const int32_t N = n;
    if (!made || N == 0 || !s || !holds(i, 2 * N) || !holds(profile, N / 2 + 1) ||
        !holds(gains, 2 * N))
        return 0;
    for (const QZ_Fourier_Transform* t : {windowed, late, response, firstHalf, secondHalf})
        if (t->points() != N) return 0;
    return N;
}

void QZ_Fourier_Noisegate::process() {
    const int32_t N = bins();
    if (N == 0) return;
    if (!delay->prepared) delay->prepare();
    if (delay->prepared) delay->process();
    late->process();
    const int32_t* X = i->data;
    const int32_t* E = late->work->data;
    int32_t* HA = firstHalf->work->data;
    int32_t* HB = secondHalf->work->data;
    if (holds(o1, 2 * N)) convolve(o1->data, E, HB, X, HA, N);

    windowed->process();
    const int32_t* S = windowed->work->data;
    int32_t* P = profile->data;
    int32_t* G = gains->data;
    const bool learning = a;
    for (int32_t j = 0; j <= N / 2; ++j) {
        const double sr = S[2 * j], si = S[2 * j + 1];
        const double m = std::sqrt(sr * sr + si * si);
        const double c = P[j];
        if (learning) P[j] = qz::trunc32((m - c) * 0.1 + c);
        const double h = std::max(m, c);
        const double gain = h != 0.0 ? (h - c) / h : 1.0;
        const int32_t g = qz::trunc32((gain * 2147483647.0) * 0.0009765625);
        G[2 * j] = g;
        G[2 * j + 1] = 0;
        if (j != 0) {
            G[2 * (N - j)] = g;
            G[2 * (N - j) + 1] = 0;
        }
    }

    response->backward(G, 2 * N);
    // The real impulse response h[n], split: its first half padded with zeros
    // in samples 0 ... N-1, its second half likewise in N ... 2N-1.
    int32_t* w = response->work->data;
    for (int32_t k = 0; k < N / 2; ++k)
        w[k] = w[2 * k];
    for (int32_t k = 0; k < N / 2; ++k)
        w[N + k] = w[N + 2 * k];
    std::fill(w + N / 2, w + N, 0);
    std::fill(w + N + N / 2, w + 2 * N, 0);
    firstHalf->forward(w, N);
    secondHalf->forward(w + N, N);

    if (holds(o2, 2 * N)) convolve(o2->data, E, HB, X, HA, N);
}

QZ_value QZ_Fourier_Noisegate::m_i(QZ_Fourier_Noisegate* e, QZ_value v) {
    if (v.present() && e->made) {
        QZ_Buffer* b = v.asPtr<QZ_Buffer>();
        const int32_t L = b ? b->length() : 0;
        // N = L/2: 2 ... 1024; any other length leaves the input as it was
        if (!b) {
            e->i = nullptr;
            e->n = 0;
        } else if (L < MIN_LENGTH || L > MAX_LENGTH || !std::has_single_bit(uint32_t(L))) {
            return qz::refused("a buffer of 4, 8, ... 2048 samples");
        } else {
            e->i = b;
            e->n = 0;
            e->profile->setLength(L / 4 + 1);
            e->gains->setLength(L);
            const int32_t M = int32_t(std::bit_width(uint32_t(L))) - 3;
            for (QZ_Fourier_Transform* t :
                 {e->windowed, e->late, e->response, e->firstHalf, e->secondHalf})
                QZ_Fourier_Transform::m_s(t, QZ_value::integer(M));
            if (holds(e->gains, L)) {
                for (int32_t k = 0; k < L; k += 2) {
                    e->gains->data[k] = UNITY;
                    e->gains->data[k + 1] = 0;
                }
                e->n = L / 2;
            }
        }
    }
    return QZ_value::handle(e->i);
}

QZ_value QZ_Fourier_Noisegate::output(QZ_Buffer*& field, bool& own, QZ_Buffer* other,
                                      const QZ_value& v) {
    if (v.present()) {
        QZ_Buffer* b = v.asPtr<QZ_Buffer>();
        // The gate deletes its outputs: never a buffer some object (this one
        // included) deletes already, except the other output.
        if (b && b->owner && !(b->owner == this && (b == field || b == other)))
            return qz::refused("a buffer no other object owns");
        if (b != field) {
            // one it made goes with it; one it was given goes back to the giver
            if (field && field != other) {
                if (own)
                    delete field;
                else
                    field->owner = nullptr;
            }
            field = b;
            own = false;
            if (b) b->owner = this;
        }
    } else if (!field) {
        field = new (std::nothrow) QZ_Buffer();
        if (field) {
            // L as the spectrum input gave it: that buffer itself may be gone
            field->owner = this;
            field->setLength(2 * n);
        }
        own = field != nullptr;
    }
    return QZ_value::handle(field);
}

QZ_value QZ_Fourier_Noisegate::m_o1(QZ_Fourier_Noisegate* e, QZ_value v) {
    return e->output(e->o1, e->own1, e->o2, v);
}

QZ_value QZ_Fourier_Noisegate::m_o2(QZ_Fourier_Noisegate* e, QZ_value v) {
    return e->output(e->o2, e->own2, e->o1, v);
}

QZ_value QZ_Fourier_Noisegate::m_s(QZ_Fourier_Noisegate* e, QZ_value v) {
    if (v.present() && e->made) {
        QZ_Buffer* b = v.asPtr<QZ_Buffer>();
        e->s = b;
        e->windowed->i = b;
        e->delay->i = b;
        e->delay->prepared = false;
        // as long as the signal: following its soundpipe if it does, whichever
        // soundpipe is current now
        if (b) e->delayed->setLengthOf(*b);
    }
    return QZ_value::handle(e->s);
}

QZ_value QZ_Fourier_Noisegate::m_a(QZ_Fourier_Noisegate* e, QZ_value v) {
    if (v.present()) e->a = v.asInt() != 0;
    return QZ_value::integer(e->a ? 1 : 0);
}

QZ_value QZ_Fourier_Noisegate::m_w(QZ_Fourier_Noisegate* e, QZ_value) {
    return QZ_value::handle(e->profile);
}

constinit const QZ_Entry QZ_Fourier_Noisegate::cls[] = {
    qz::creates<QZ_Fourier_Noisegate>(),
    qz::option<&QZ_Fourier_Noisegate::m_i>("i"),
    qz::option<&QZ_Fourier_Noisegate::m_o1>("o1"),
    qz::option<&QZ_Fourier_Noisegate::m_o2>("o2"),
    qz::option<&QZ_Fourier_Noisegate::m_s>("s"),
    qz::option<&QZ_Fourier_Noisegate::m_a>("a"),
    qz::option<&QZ_Fourier_Noisegate::m_w>("w"),
    qz::option<&QZ_Object::m_delete>("delete"),
    qz::parent(QZ_Effect::cls),
};
