#include "QZ_Object.h"

#include <cstring>

QZ_Object::~QZ_Object() = default;

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
