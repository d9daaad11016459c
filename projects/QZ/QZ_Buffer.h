#pragma once
#include "QZ_Chain.h"
#include "QZ_Object.h"

#include <cstdint>

class QZ_Soundpipe;

// One block of samples plus a same-sized copy used for on/off cross-fades.
class QZ_Buffer : public QZ_Object {
public:
    // The longest storage a length (or a soundpipe's block length) may ask
    // for: 2^22 samples, 32 MiB with the copy. Longer ones are refused.
    static constexpr int32_t MAX_LENGTH = 1 << 22;

    int32_t requested = -1; // -1 follows the soundpipe, 0 none, else fixed
    int32_t allocated = 0;  // samples in each half of the storage
    const char* title = nullptr;
    int32_t* data = nullptr; // the contents
    int32_t* copy = nullptr; // data + allocated: the cross-fade snapshot
    int32_t ring = 0;
    int32_t limit = 1073741823;
    QZ_Soundpipe* soundpipe = nullptr; // set while the length follows a soundpipe
    int32_t fade = 0;                  // -1, 0, +1: last effect's transition this pass
    QZ_Chain_Item item;

    QZ_Buffer();
    ~QZ_Buffer() override;

    // The length query: samples a pass processes.
    int32_t length() const;
    // The samples a pass may touch: the length query, never more than the storage.
    int32_t usable() const;
    void setLength(int32_t v);
    // As long as other: following the same soundpipe with as much storage,
    // or fixed at other's length.
    void setLengthOf(const QZ_Buffer& other);
    void clear();

    static QZ_value m_l(QZ_Buffer* b, QZ_value v);
    static QZ_value m_t(QZ_Buffer* b, QZ_value v);
    static QZ_value m_limit(QZ_Buffer* b, QZ_value v);
    static const QZ_Entry cls[];

private:
    void release();
    // n samples of storage; following pipe when it is not null.
    void allocate(int32_t requested, QZ_Soundpipe* pipe, int64_t n);
};
