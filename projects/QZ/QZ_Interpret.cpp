#include "QZ_Interpret.h"

#include "QZ_Options.h"
#include "QZ_Text.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

extern "C" {
char* QZ_specialobject = nullptr;
}

namespace qz {
namespace {

// Character classes of the word automaton.
constexpr unsigned char class_of(int c) {
    if (c == ' ' || c == '\0') return 8;
    if (c == '+' || c == '-') return 1;
    if (c == '0') return 2;
    if (c >= '1' && c <= '9') return 3;
    if (c == '.') return 4;
    if (c == 'e' || c == 'E') return 5;
    if (c == 'x' || c == 'X') return 6;
    if ((c >= 'a' && c <= 'd') || c == 'f' || (c >= 'A' && c <= 'D') || c == 'F') return 7;
    return 0;
}

struct Tables {
    unsigned char cls[256];
    unsigned char next[12][9];
};

constexpr Tables make_tables() {
    Tables t{};
    for (int c = 0; c < 256; ++c)
        t.cls[c] = class_of(c);
    const unsigned char next[12][9] = {
        {11, 1, 2, 5, 7, 11, 11, 11, 11},     // 0 start
        {11, 11, 6, 6, 7, 11, 11, 11, 11},    // 1 sign
        {11, 11, 5, 5, 7, 8, 3, 11, 5},       // 2 leading zero
        {11, 11, 4, 4, 11, 4, 11, 4, 11},     // 3 after 0x
        {11, 11, 4, 4, 11, 4, 11, 4, 4},      // 4 hex digits
        {11, 11, 5, 5, 7, 8, 11, 11, 5},      // 5 unsigned digits
        {11, 11, 6, 6, 7, 8, 11, 11, 6},      // 6 signed digits
        {11, 11, 7, 7, 11, 8, 11, 11, 7},     // 7 fraction
        {11, 9, 10, 10, 11, 11, 11, 11, 11},  // 8 exponent mark
        {11, 11, 10, 10, 11, 11, 11, 11, 11}, // 9 exponent sign
        {11, 11, 10, 10, 11, 11, 11, 11, 7},  // 10 exponent digits
        {11, 11, 11, 11, 11, 11, 11, 11, 11}, // 11 text
    };
    for (int s = 0; s < 12; ++s)
        for (int k = 0; k < 9; ++k)
            t.next[s][k] = next[s][k];
    return t;
}

constexpr Tables tables = make_tables();

} // namespace

int classify(const char* p, const char** end) {
    int s = 0;
    for (;; ++p) {
        int k = tables.cls[static_cast<unsigned char>(*p)];
        s = tables.next[s][k];
        if (k == 8) break;
    }
    *end = p;
    return s;
}

namespace {

enum class Kind { Value, Option, End, Discard, DiscardEnd, Bad };

struct Word {
    Kind kind = Kind::End;
    QZ_value v;
    char* start = nullptr;   // first character of the word
    char* sep = nullptr;     // its separator: a blank or the end of the text
    char* next = nullptr;    // where the following word starts
    bool conversion = false; // the value came from a "%" conversion
    const char* why = nullptr;
};

struct Run {
    int flags;
    char* text;
    char* res;
    long cap;
    long len;
    va_list* ap;
};

size_t word_len(const Word& w) {
    return size_t(w.sep - w.start);
}

char* after(char* sep) {
    return *sep == ' ' ? sep + 1 : sep;
}

float read_float(const char* b, const char* e) {
    if (*b == '+') ++b;
    float f = 0.0f;
    auto r = std::from_chars(b, e, f);
    if (r.ec == std::errc::invalid_argument) return 0.0f; // "." and "-." read as nothing
    if (r.ec == std::errc::result_out_of_range) {
        double d = 0.0;
        auto rd = std::from_chars(b, e, d);
        if (rd.ec == std::errc()) return static_cast<float>(d);
        bool negative = *b == '-';
        const char* x = b;
        while (x < e && *x != 'e' && *x != 'E')
            ++x;
        bool tiny = x + 1 < e && x[1] == '-';
        float m = tiny ? 0.0f : std::numeric_limits<float>::infinity();
        return negative ? -m : m;
    }
    return f;
}

Word bad(Word w, const char* why) {
    w.kind = Kind::Bad;
    w.why = why;
    return w;
}

// A word starting at p; complete when p is at the text's end (the end word).
Word at(char* p) {
    Word w;
    w.start = p;
    if (*p == '\0') {
        w.kind = Kind::End;
        w.sep = w.next = p;
    }
    return w;
}

// Reads the word at p in value position.
Word read_value(Run& r, char* p) {
    Word w = at(p);
    if (*p == '\0') return w;
    if (*p == '%') {
        w.conversion = true;
        char c = p[1];
        if (c == '\0') {
            w.kind = Kind::DiscardEnd;
            w.sep = w.next = p + 1;
            return w;
        }
        if (c == ' ') {
            w.kind = Kind::Discard;
            w.sep = p + 1;
            w.next = p + 2;
            return w;
        }
        w.sep = p + 2;
        if (!std::strchr("ifos", c) || (p[2] != ' ' && p[2] != '\0')) {
            w.sep = p + 1;
            while (*w.sep && *w.sep != ' ')
                ++w.sep;
            w.next = after(w.sep);
            return bad(w, "bad conversion");
        }
        w.next = after(w.sep);
        w.kind = Kind::Value;
        switch (c) {
        case 'i':
            w.v = QZ_value::integer(va_arg(*r.ap, int));
            break;
        case 'f':
            w.v = QZ_value::real(static_cast<float>(va_arg(*r.ap, double)));
            break;
        case 'o':
            w.v = QZ_value::handle(va_arg(*r.ap, void*));
            break;
        default: {
            const char* s = va_arg(*r.ap, const char*);
            if (!s) return bad(w, "null text for");
            w.v = QZ_value::text(s);
        }
        }
        return w;
    }
    const char* sep;
    int state = classify(p, &sep);
    w.sep = const_cast<char*>(sep);
    w.next = after(w.sep);
    w.kind = Kind::Value;
    switch (state) {
    case W_HEX: {
        uintptr_t h = 0;
        auto res = std::from_chars(p + 2, sep, h, 16);
        if (res.ec != std::errc()) return bad(w, "number out of range");
        w.v = QZ_value(h, QZ_value::HANDLE);
        return w;
    }
    case W_UNSIGNED: {
        uint64_t u = 0;
        auto res = std::from_chars(p, sep, u);
        if (res.ec != std::errc() || u > 0xFFFFFFFFu) return bad(w, "number out of range");
        w.v = QZ_value(uint32_t(u), QZ_value::INT);
        return w;
    }
    case W_SIGNED: {
        int64_t i = 0;
        auto res = std::from_chars(p + (*p == '+'), sep, i);
        if (res.ec != std::errc() || i < INT32_MIN || i > INT32_MAX)
            return bad(w, "number out of range");
        w.v = QZ_value::integer(int32_t(i));
        return w;
    }
    case W_FLOAT:
        w.v = QZ_value::real(read_float(p, sep));
        return w;
    default:
        if (*p == '-') {
            w.kind = Kind::Option;
            return w;
        }
        w.v = QZ_value::text(p);
        return w;
    }
}

// Reads the word at p where an option name (or the end) must stand.
Word read_option(char* p) {
    Word w = at(p);
    if (*p == '\0') return w;
    const char* sep;
    int state = classify(p, &sep);
    w.sep = const_cast<char*>(sep);
    w.next = after(w.sep);
    if (state == W_TEXT && *p == '-') {
        w.kind = Kind::Option;
        return w;
    }
    return bad(w, "expected an option name, not");
}

QZ_error refuse(const Run& r, const char* why, const Word* at) {
    std::printf("derar: %s\n", r.text);
    if (at)
        std::printf("derar: %s '%.*s'\n", why, int(word_len(*at)), at->start);
    else
        std::printf("derar: %s\n", why);
    return QZ_ERROR_COMMAND_NOT_PARAM;
}

// A handler refused its value: reported as a bad option is, and the
// command stops there with what came before it done.
QZ_error refused_value(const Run& r, const Word& option, const Word& value, const QZ_value& why) {
    std::printf("derar: %s\n", r.text);
    std::printf("derar: param '%.*s' refuses '%.*s': %s\n", int(word_len(option) - 1),
                option.start + 1, int(word_len(value)), value.start,
                why.asText() ? why.asText() : "bad value");
    return QZ_ERROR_COMMAND_NOT_PARAM;
}

bool put(Run& r, const char* s, size_t n, bool blank) {
    if (!(r.flags & QZ_TEXT_RESULT)) return true;
    size_t sepn = (blank && r.len > 0) ? 1 : 0;
    if (!r.res || r.cap <= 0 || size_t(r.cap - r.len) < sepn + n + 1) return false;
    if (sepn) r.res[r.len++] = ' ';
    if (n) std::memcpy(r.res + r.len, s, n);
    r.len += long(n);
    return true;
}

bool put_hex(Run& r, uintptr_t h) {
    char buf[2 + 2 * sizeof(uintptr_t)] = {'0', 'x'};
    char* e = std::to_chars(buf + 2, buf + sizeof buf, h, 16).ptr;
    for (char* c = buf + 2; c < e; ++c)
        *c = char(std::toupper(static_cast<unsigned char>(*c)));
    return put(r, buf, size_t(e - buf), true);
}

// Appends a query result as text; types 0 and 1 append nothing.
bool put_result(Run& r, const QZ_value& v) {
    char buf[512];
    switch (v.type) {
    case QZ_value::INT: {
        char* e = std::to_chars(buf, buf + sizeof buf, v.asInt()).ptr;
        return put(r, buf, size_t(e - buf), true);
    }
    case QZ_value::FLOAT:
        return put(r, buf, fixed(buf, sizeof buf, double(v.asFloat())), true);
    case QZ_value::TEXT: {
        const char* s = v.asText();
        return put(r, s ? s : "", s ? std::strlen(s) : 0, true);
    }
    case QZ_value::HANDLE:
        if (v.length >= 0) {
            // a counted block of raw bytes after the separator
            const char* bytes = v.asPtr<const char>();
            return put(r, bytes, bytes ? size_t(v.length) : 0, true);
        }
        return put_hex(r, v.value);
    default:
        return true;
    }
}

void store(Run& r, const QZ_value& v) {
    if (!(r.flags & QZ_STORE) || v.type < QZ_value::INT || v.type > QZ_value::HANDLE) return;
    void* cell = va_arg(*r.ap, void*);
    if (!cell) return;
    if (v.type == QZ_value::INT || v.type == QZ_value::FLOAT) {
        uint32_t bits = uint32_t(v.value);
        std::memcpy(cell, &bits, sizeof bits);
    } else {
        std::memcpy(cell, &v.value, sizeof v.value);
    }
}

// Moves past the current word: an option name becomes the pending option;
// after a value, a discard or a creation argument the next word must be one.
// Sets done at the end of the command. Nothing may follow a deletion: the
// object is gone.
QZ_error advance(Run& r, Word& cur, Word& pending, bool& done, bool after_delete = false) {
    done = cur.kind == Kind::End || cur.kind == Kind::DiscardEnd;
    if (done) return QZ_OK;
    Word next = cur.kind == Kind::Option ? cur : read_option(cur.next);
    done = next.kind == Kind::End;
    if (done) return QZ_OK;
    if (after_delete) return refuse(r, "options after delete:", &next);
    if (next.kind == Kind::Bad) return refuse(r, next.why, &next);
    pending = next;
    cur = read_value(r, pending.next);
    return QZ_OK;
}

QZ_error execute(Run& r) {
    if (r.flags & QZ_TEXT_RESULT && r.res && r.cap > 0) std::memset(r.res, 0, size_t(r.cap));
    char* p = r.text;
    const QZ_Entry* desc = nullptr;
    Word name;
    if (*p != '%') {
        char* sep = p + std::strcspn(p, " ");
        desc = find_class(p, size_t(sep - p));
        if (!desc) {
            std::printf("derar: command '%s' not found\n", p);
            return QZ_ERROR_COMMAND_NOT_FOUND;
        }
        name.start = p;
        name.sep = sep;
        p = after(sep);
    }

    QZ_Object* obj = nullptr;
    Word cur = read_value(r, p);
    Word pending;
    if (cur.kind == Kind::Bad) return refuse(r, cur.why, &cur);

    if (cur.kind == Kind::Value && cur.v.type != QZ_value::TEXT) {
        // a handle (or integer) names the object to act on
        if (cur.v.type == QZ_value::FLOAT) return refuse(r, "not an object:", &cur);
        obj = cur.v.asPtr<QZ_Object>();
        if (!obj) return refuse(r, "null object", &cur);
        if (!desc) desc = obj->descriptor;
        if (!desc) return refuse(r, "object of no class", &cur);
        pending = read_option(cur.next);
        if (pending.kind == Kind::End) return refuse(r, "no option for the object", nullptr);
        if (pending.kind == Kind::Bad) return refuse(r, pending.why, &pending);
        cur = read_value(r, pending.next);
    } else {
        if (!desc || (cur.kind == Kind::Value && cur.conversion))
            return refuse(r, "no object to act on at", &cur);
        if (!desc[0].create) return refuse(r, "cannot create abstract class", &name);
        QZ_specialobject = cur.kind == Kind::Value ? cur.start : nullptr;
        obj = desc[0].create();
        if (!obj) {
            std::printf("derar: %s\n", r.text);
            std::printf("derar: '%.*s' created nothing\n", int(word_len(name)), name.start);
            return QZ_ERROR_COMMAND_NOT_FOUND;
        }
        if (!obj->descriptor) {
            obj->descriptor = desc;
            obj->command = r.text;
        }
        if (!put_hex(r, reinterpret_cast<uintptr_t>(obj))) return QZ_ERROR_COMMAND_NOT_SPACE;
        bool discard = cur.kind == Kind::Discard || cur.kind == Kind::DiscardEnd;
        if (r.flags & QZ_STORE && !discard) store(r, QZ_value::handle(obj));
        bool done;
        QZ_error e = advance(r, cur, pending, done);
        if (e != QZ_OK || done) return e;
    }

    for (;;) {
        if (cur.kind == Kind::Bad) return refuse(r, cur.why, &cur);
        const char* opt = pending.start + 1;
        size_t optlen = word_len(pending) - 1;
        QZ_Handler h = find_option(desc, opt, optlen);
        if (!h) {
            std::printf("derar: %s\n", r.text);
            std::printf("derar: param '%s' not found\n", opt);
            return QZ_ERROR_COMMAND_NOT_PARAM;
        }
        if (cur.kind == Kind::Value) {
            char saved = *cur.sep;
            if (saved == ' ' && !cur.conversion) *cur.sep = '\0';
            QZ_value res = h(obj, cur.v);
            if (saved == ' ' && !cur.conversion) *cur.sep = saved;
            if (is_refusal(res)) return refused_value(r, pending, cur, res);
        } else {
            QZ_value res = h(obj, QZ_EMPTY);
            if (cur.kind != Kind::Discard && cur.kind != Kind::DiscardEnd) {
                if (!put_result(r, res)) return QZ_ERROR_COMMAND_NOT_SPACE;
                store(r, res);
            }
        }
        bool done;
        bool deleted = optlen == 6 && std::memcmp(opt, "delete", 6) == 0;
        QZ_error e = advance(r, cur, pending, done, deleted);
        if (e != QZ_OK || done) return e;
    }
}

} // namespace
} // namespace qz

QZ_error QZ_interpret(int flags, char* text, char* result, int* capacity, va_list args) {
    static char empty[] = "";
    va_list ap;
    va_copy(ap, args);
    qz::Run r{flags, text ? text : empty, result, capacity ? *capacity : 0, 0, &ap};
    QZ_error e = qz::execute(r);
    va_end(ap);
    if (e == QZ_OK && (flags & QZ_TEXT_RESULT) && capacity) *capacity = int(r.len);
    return e;
}

QZ_error QZ_command(char* text, ...) {
    va_list ap;
    va_start(ap, text);
    QZ_error e = QZ_interpret(QZ_STORE, text, nullptr, nullptr, ap);
    va_end(ap);
    return e;
}

QZ_error QZ_command_text(char* text, char* result, int* capacity, ...) {
    va_list ap;
    va_start(ap, capacity);
    QZ_error e = QZ_interpret(QZ_TEXT_RESULT, text, result, capacity, ap);
    va_end(ap);
    return e;
}
