#include "QZ_Object.h"

#include <cstring>
#include <mutex>

namespace {
// Objects are made and deleted by commands on control threads, never in a pass.
std::mutex registry_lock;
QZ_Chain registry;
uint64_t serials = 0;
} // namespace

QZ_Object::QZ_Object() : live(this) {
    std::lock_guard<std::mutex> lock(registry_lock);
    serial = serials++;
    registry.insert(&live);
}

QZ_Object::~QZ_Object() {
    std::lock_guard<std::mutex> lock(registry_lock);
    registry.remove(&live);
}

namespace qz {

uint64_t next_serial() {
    std::lock_guard<std::mutex> lock(registry_lock);
    return serials;
}

size_t live_objects() {
    std::lock_guard<std::mutex> lock(registry_lock);
    return size_t(registry.count);
}

void delete_objects_since(uint64_t mark) {
    for (;;) {
        QZ_Object* newest = nullptr;
        {
            std::lock_guard<std::mutex> lock(registry_lock);
            // The registry is in creation order. An owned object goes with
            // its owner, which may be older or newer than it.
            for (QZ_Chain_Item* i = registry.tail.prev; i != &registry.head; i = i->prev) {
                QZ_Object* o = static_cast<QZ_Object*>(i->data);
                if (o->serial < mark) break;
                if (!o->owner) {
                    newest = o;
                    break;
                }
            }
        }
        if (!newest) return;
        delete newest; // its destructor leaves the registry
    }
}

bool is_live(const void* p) {
    std::lock_guard<std::mutex> lock(registry_lock);
    for (QZ_Chain_Item* i = registry.head.next; i != &registry.tail; i = i->next)
        if (i->data == p) return true;
    return false;
}

} // namespace qz

QZ_value QZ_Object::m_delete(QZ_Object* o, QZ_value) {
    delete o;
    return QZ_EMPTY;
}

constinit const QZ_Entry QZ_Object::cls[] = {
    qz::abstract(),
    qz::option<&QZ_Object::m_delete>("delete"),
    qz::parent(nullptr),
};

namespace qz {

static bool same_word(const char* entry, const char* word, size_t len) {
    return std::strncmp(entry, word, len) == 0 && entry[len] == '\0';
}

QZ_Handler find_option(const QZ_Entry* d, const char* name, size_t len) {
    while (d) {
        const QZ_Entry* e = d + 1;
        for (; e->name; ++e)
            if (same_word(e->name, name, len)) return e->handler;
        d = e->parent;
    }
    return nullptr;
}

const QZ_Class* class_table = __QZ;

const QZ_Entry* find_class(const char* name, size_t len) {
    for (const QZ_Class* c = class_table; c->name; ++c)
        if (same_word(c->name, name, len)) return c->descriptor;
    return nullptr;
}

} // namespace qz
