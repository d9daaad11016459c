#pragma once
#include "QZ_Chain.h"
#include "QZ_Export.h"
#include "QZ_Value.h"

#include <cstddef>
#include <new>
#include <type_traits>

class QZ_Object;

using QZ_Handler = QZ_value (*)(QZ_Object*, QZ_value);
using QZ_Create = QZ_Object* (*)();

// One entry of a class descriptor: entry 0 holds the create operation, the
// options follow, and a terminator with a null name points at the parent's descriptor.
struct QZ_Entry {
    const char* name;
    union {
        QZ_Create create;
        QZ_Handler handler;
        const QZ_Entry* parent;
    };
};

// One row of the class table.
struct QZ_Class {
    const char* name;
    const QZ_Entry* descriptor;
};

extern "C" {
QZ_EXPORT extern const QZ_Class __QZ[];
}

class QZ_EXPORT QZ_Object {
public:
    const QZ_Entry* descriptor = nullptr; // the class named by the creating command
    char* command = nullptr;              // that command's text; it outlives the object
    uint64_t serial;                      // creation order among all objects
    QZ_Chain_Item live;                   // membership in the registry of live objects
    // The object whose destructor deletes this one (a block's own buffers and
    // parts), or null: nobody else may delete it.
    QZ_Object* owner = nullptr;

    QZ_Object();
    QZ_Object(const QZ_Object&) = delete;
    QZ_Object& operator=(const QZ_Object&) = delete;
    virtual ~QZ_Object();

    static QZ_value m_delete(QZ_Object* o, QZ_value v);

    static const QZ_Entry cls[];
};

namespace qz {

template <class C> C* object_arg(QZ_value (*)(C*, QZ_value));

// Calls a class's own handler with the object converted to its class.
template <auto M> QZ_value option_thunk(QZ_Object* o, QZ_value v) {
    using C = std::remove_pointer_t<decltype(object_arg(M))>;
    return M(static_cast<C*>(o), v);
}

template <class C> QZ_Object* create_thunk() {
    return new (std::nothrow) C();
}

constexpr QZ_Entry create_entry(QZ_Create c) {
    QZ_Entry e{};
    e.name = "";
    e.create = c;
    return e;
}
template <class C> constexpr QZ_Entry creates() {
    return create_entry(&create_thunk<C>);
}
constexpr QZ_Entry abstract() {
    return create_entry(nullptr);
}

template <auto M> constexpr QZ_Entry option(const char* name) {
    QZ_Entry e{};
    e.name = name;
    e.handler = &option_thunk<M>;
    return e;
}

constexpr QZ_Entry parent(const QZ_Entry* p) {
    QZ_Entry e{};
    e.name = nullptr;
    e.parent = p;
    return e;
}

// The handler of an option, searched from the descriptor's first option up
// through its ancestors; the first match wins. Null when no class has it.
QZ_Handler find_option(const QZ_Entry* descriptor, const char* name, size_t len);

// The descriptor of a class named by the first len characters of name, or null.
const QZ_Entry* find_class(const char* name, size_t len);

// The registry of live objects, kept for tools and tests: a session can
// delete what it made, and a test can count what is left.
uint64_t next_serial(); // the serial the next object will get
size_t live_objects();  // how many objects exist
// Newest first, down to serial mark; objects with an owner are left to it.
void delete_objects_since(uint64_t mark);
// Whether p is the address of a live object; p itself is never read.
bool is_live(const void* p);

// The table find_class reads: the class table itself, except while a test
// puts a table of its own probe classes in its place.
extern const QZ_Class* class_table;

} // namespace qz
