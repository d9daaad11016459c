#include "QZ_Chain.h"

QZ_Chain_Item::QZ_Chain_Item(void* d) : prev(nullptr), next(nullptr), data(d), chain(nullptr) {}

QZ_Chain::QZ_Chain() : head(nullptr), tail(nullptr), count(0) {
    head.next = &tail;
    tail.prev = &head;
}

void QZ_Chain::insert(QZ_Chain_Item* item, QZ_Chain_Item* before) {
    if (!item || item->chain) return;
    if (!before || before->chain != this) before = &tail;
    item->chain = this;
    item->prev = before->prev;
    item->next = before;
    before->prev->next = item;
    before->prev = item;
    ++count;
}

void QZ_Chain::remove(QZ_Chain_Item* item) {
    if (!item || item->chain != this) return;
    item->prev->next = item->next;
    item->next->prev = item->prev;
    item->chain = nullptr;
    --count;
}
