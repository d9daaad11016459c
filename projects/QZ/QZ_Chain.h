#pragma once
#include "QZ_Export.h"

#include <cstdint>

class QZ_Chain;

// The link of an intrusive doubly linked list, embedded in the object it links.
class QZ_EXPORT QZ_Chain_Item {
public:
    QZ_Chain_Item* prev;
    QZ_Chain_Item* next;
    void* data;      // the owning object
    QZ_Chain* chain; // the chain the item is in, null when in none

    QZ_Chain_Item(void* data);
    QZ_Chain_Item(const QZ_Chain_Item&) = delete;
    QZ_Chain_Item& operator=(const QZ_Chain_Item&) = delete;
};

// A list between two sentinel items, with a count.
class QZ_Chain {
public:
    QZ_Chain_Item head;
    QZ_Chain_Item tail;
    int32_t count;

    QZ_Chain();
    QZ_Chain(const QZ_Chain&) = delete;
    QZ_Chain& operator=(const QZ_Chain&) = delete;

    // Links the item just before `before` (appends when null or not in this
    // chain); an item already in a chain is left where it is.
    void insert(QZ_Chain_Item* item, QZ_Chain_Item* before = nullptr);
    // Unlinks the item if it is in this chain; its own links are left as they were.
    void remove(QZ_Chain_Item* item);

    QZ_Chain_Item* first() const { return head.next; }
    bool end(const QZ_Chain_Item* item) const { return item == &tail; }

    // Visits each member's data in order; the visitor may not change the chain.
    template <class T, class F> void each(F f) const {
        for (QZ_Chain_Item* i = head.next; i != &tail; i = i->next)
            f(static_cast<T*>(i->data));
    }
};
