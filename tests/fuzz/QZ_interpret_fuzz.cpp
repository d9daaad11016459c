// Feeds arbitrary bytes to the interpreter as one command, in text-result
// mode, store mode or both. The first byte picks the mode and the capacity.
//
// The interpreter trusts handles, as the framework's handlers do, so the
// classes here never follow the object pointer they are given: a fuzzed
// "0x41" target must not crash anything but the interpreter itself.
#include "QZ_Interpret.h"
#include "QZ_Object.h"
#include "QZ_Options.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

std::vector<QZ_Object*> alive;

class Fz : public QZ_Object {
public:
    Fz() { alive.push_back(this); }
    ~Fz() override { alive.erase(std::find(alive.begin(), alive.end(), this)); }
    // Handlers take the plain object pointer: a fuzzed handle is no Fz, and
    // not even a downcast may be made of it.
    // Answers every type, including raw bytes and texts longer than small capacities.
    static QZ_value m_i(QZ_Object*, QZ_value v) { return QZ_value::integer(v.asInt()); }
    static QZ_value m_f(QZ_Object*, QZ_value v) { return QZ_value::real(v.asFloat() * 2); }
    static QZ_value m_t(QZ_Object*, QZ_value) {
        return QZ_value::text("a longer text than a small result buffer holds");
    }
    static QZ_value m_h(QZ_Object*, QZ_value v) { return QZ_value::handle(v.asPtr<void>()); }
    static QZ_value m_b(QZ_Object*, QZ_value) {
        static const char bytes[5] = {'x', '\0', 'y', ' ', 'z'};
        return QZ_value(reinterpret_cast<uintptr_t>(bytes), QZ_value::HANDLE, 5);
    }
    static QZ_value m_n(QZ_Object*, QZ_value) { return QZ_EMPTY; }
    // Refuses every value, as handlers refuse what they cannot take.
    static QZ_value m_r(QZ_Object*, QZ_value v) {
        return v.present() ? qz::refused("no value") : QZ_value::integer(0);
    }
    // Only objects this target made are deleted; any other handle is ignored.
    static QZ_value m_delete(QZ_Object* o, QZ_value) {
        if (std::find(alive.begin(), alive.end(), o) != alive.end()) delete o;
        return QZ_EMPTY;
    }
    static const QZ_Entry cls[];
};
// With every handler taking a QZ_Object*, the option thunks cast nothing.
const QZ_Entry Fz::cls[] = {
    qz::creates<Fz>(),         qz::option<&Fz::m_i>("i"), qz::option<&Fz::m_f>("f"),
    qz::option<&Fz::m_t>("t"), qz::option<&Fz::m_h>("h"), qz::option<&Fz::m_b>("b"),
    qz::option<&Fz::m_n>("n"), qz::option<&Fz::m_r>("r"), qz::option<&Fz::m_delete>("delete"),
    qz::parent(nullptr)};

class FzChild : public Fz {
public:
    static QZ_value m_i(QZ_Object*, QZ_value) { return QZ_value::integer(-1); }
    static const QZ_Entry cls[];
};
const QZ_Entry FzChild::cls[] = {qz::creates<FzChild>(), qz::option<&FzChild::m_i>("i"),
                                 qz::parent(Fz::cls)};

const QZ_Entry abstract_cls[] = {qz::abstract(), qz::parent(Fz::cls)};
QZ_Object* nothing() {
    return nullptr;
}
const QZ_Entry nothing_cls[] = {qz::create_entry(&nothing), qz::parent(Fz::cls)};

QZ_error call(int flags, char* text, char* result, int* capacity, ...) {
    va_list ap;
    va_start(ap, capacity);
    QZ_error e = QZ_interpret(flags, text, result, capacity, ap);
    va_end(ap);
    return e;
}

const QZ_Class table[] = {{"Fz", Fz::cls},
                          {"Fz_Child", FzChild::cls},
                          {"Fz_Abstract", abstract_cls},
                          {"Fz_Nothing", nothing_cls},
                          {nullptr, nullptr}};

// Every argument is null: a conversion then reads 0 (a null target or text,
// which the interpreter refuses) and a store through a null cell is skipped,
// whatever role the fuzzed command gives each argument. The unit tests cover
// the stores themselves.
constexpr size_t kArgs = 128;

template <size_t... I>
QZ_error run(int flags, char* text, char* result, int* capacity, std::index_sequence<I...>) {
    auto arg = [](size_t) -> void* { return nullptr; };
    return call(flags, text, result, capacity, arg(I)...);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::freopen("/dev/null", "w", stdout); // the interpreter's diagnostics
    qz::class_table = table;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<char> text(data + 1, data + size);
    // Each word takes at most one argument, and a creation one more.
    if (std::count(text.begin(), text.end(), ' ') > long(kArgs) - 4) return 0;
    // A double read where a pointer was passed is outside the language's
    // contract, so "%f" reads a pointer-sized 0 here like "%o".
    for (size_t k = 0; k + 1 < text.size(); ++k)
        if (text[k] == '%' && text[k + 1] == 'f') text[k + 1] = 'o';
    text.push_back('\0');

    int flags = (data[0] & 3) ? (data[0] & 3) : QZ_TEXT_RESULT;
    std::vector<char> result(size_t(data[0] >> 2) + 1);
    int capacity = int(result.size());
    run(flags, text.data(), result.data(), &capacity, std::make_index_sequence<kArgs>());
    while (!alive.empty())
        delete alive.back();
    return 0;
}
