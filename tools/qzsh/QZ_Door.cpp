#include "QZ_Door.h"

#include "QZ_Buffer.h"
#include "QZ_Effect.h"
#include "QZ_Effect_Ampdet.h"
#include "QZ_Effect_Bapass.h"
#include "QZ_Effect_Copy.h"
#include "QZ_Effect_Deline.h"
#include "QZ_Effect_Dist.h"
#include "QZ_Effect_Freqmul.h"
#include "QZ_Effect_Gtzero.h"
#include "QZ_Effect_Hipass.h"
#include "QZ_Effect_Koef.h"
#include "QZ_Effect_Lopass.h"
#include "QZ_Effect_Ltzero.h"
#include "QZ_Effect_Nefreqmul.h"
#include "QZ_Effect_Nshift.h"
#include "QZ_Effect_Oper.h"
#include "QZ_Effect_Oversam.h"
#include "QZ_Effect_Shift.h"
#include "QZ_Effect_Zero.h"
#include "QZ_Fourier_Noisegate.h"
#include "QZ_Fourier_Transform.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"
#include "Wid.h"
#include "Wid_Butt.h"
#include "Wid_Knob.h"
#include "Wid_Pal.h"
#include "Wid_Pic.h"
#include "Wid_Text.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace qz::door {
namespace {

template <class C> bool is(const QZ_Object* o) {
    return dynamic_cast<const C*>(o) != nullptr;
}

struct ClassCheck {
    const QZ_Entry* descriptor;
    bool (*is)(const QZ_Object*);
};

// The C++ class behind each descriptor of the class table.
const ClassCheck classes[] = {
    {QZ_Object::cls, is<QZ_Object>},
    {QZ_Soundpipe::cls, is<QZ_Soundpipe>},
    {QZ_Buffer::cls, is<QZ_Buffer>},
    {QZ_Effect::cls, is<QZ_Effect>},
    {QZ_Effect_Zero::cls, is<QZ_Effect_Zero>},
    {QZ_Effect_Hipass::cls, is<QZ_Effect_Hipass>},
    {QZ_Effect_Lopass::cls, is<QZ_Effect_Lopass>},
    {QZ_Effect_Freqmul::cls, is<QZ_Effect_Freqmul>},
    {QZ_Effect_Nefreqmul::cls, is<QZ_Effect_Nefreqmul>},
    {QZ_Effect_Gtzero::cls, is<QZ_Effect_Gtzero>},
    {QZ_Effect_Ltzero::cls, is<QZ_Effect_Ltzero>},
    {QZ_Effect_Bapass::cls, is<QZ_Effect_Bapass>},
    {QZ_Effect_Ampdet::cls, is<QZ_Effect_Ampdet>},
    {QZ_Effect_Copy::cls, is<QZ_Effect_Copy>},
    {QZ_Effect_Oper::cls, is<QZ_Effect_Oper>},
    {QZ_Effect_Koef::cls, is<QZ_Effect_Koef>},
    {QZ_Effect_Dist::cls, is<QZ_Effect_Dist>},
    {QZ_Effect_Deline::cls, is<QZ_Effect_Deline>},
    {QZ_Effect_Oversam::cls, is<QZ_Effect_Oversam>},
    {QZ_Effect_Shift::cls, is<QZ_Effect_Shift>},
    {QZ_Effect_Nshift::cls, is<QZ_Effect_Nshift>},
    {QZ_Fourier_Transform::cls, is<QZ_Fourier_Transform>},
    {QZ_Fourier_Noisegate::cls, is<QZ_Fourier_Noisegate>},
    {QZ_Wid::cls, is<QZ_Wid>},
    {QZ_Wid_Pic::cls, is<QZ_Wid_Pic>},
    {QZ_Wid_Butt::cls, is<QZ_Wid_Butt>},
    {QZ_Wid_Knob::cls, is<QZ_Wid_Knob>},
    {QZ_Wid_Pal::cls, is<QZ_Wid_Pal>},
    {QZ_Wid_Text::cls, is<QZ_Wid_Text>},
};

struct OptionArg {
    const QZ_Entry* descriptor; // the class whose descriptor holds the option
    const char* option;
    Arg arg;
};

// Every option of the class table. Buffers and effects are checked against
// the live objects; pointers that only a program can make (a window, a notify
// function, a bound value, a meter line) cannot come from a typed line.
const OptionArg options[] = {
    {QZ_Object::cls, "delete", Arg::Any},

    {QZ_Soundpipe::cls, "bl", Arg::Number},
    {QZ_Soundpipe::cls, "be", Arg::Effect},
    {QZ_Soundpipe::cls, "b", Arg::Any},
    {QZ_Soundpipe::cls, "e", Arg::Any},

    {QZ_Buffer::cls, "l", Arg::Number},
    {QZ_Buffer::cls, "t", Arg::Text},
    {QZ_Buffer::cls, "limit", Arg::Number},
    {QZ_Buffer::cls, "delete", Arg::Any},

    {QZ_Effect::cls, "before", Arg::Effect},
    {QZ_Effect::cls, "mode", Arg::Text},
    {QZ_Effect::cls, "clock", Arg::Number},
    {QZ_Effect::cls, "on", Arg::Number},
    {QZ_Effect::cls, "delete", Arg::Any},

    {QZ_Effect_Zero::cls, "o", Arg::Buffer},

    {QZ_Effect_Hipass::cls, "i", Arg::Buffer},
    {QZ_Effect_Hipass::cls, "o", Arg::Buffer},
    {QZ_Effect_Hipass::cls, "f", Arg::Number},
    {QZ_Effect_Lopass::cls, "i", Arg::Buffer},
    {QZ_Effect_Lopass::cls, "o", Arg::Buffer},
    {QZ_Effect_Lopass::cls, "f", Arg::Number},

    {QZ_Effect_Freqmul::cls, "i", Arg::Buffer},
    {QZ_Effect_Freqmul::cls, "o", Arg::Buffer},
    {QZ_Effect_Freqmul::cls, "k", Arg::Number},
    {QZ_Effect_Nefreqmul::cls, "i", Arg::Buffer},
    {QZ_Effect_Nefreqmul::cls, "o", Arg::Buffer},
    {QZ_Effect_Nefreqmul::cls, "k", Arg::Number},
    {QZ_Effect_Nefreqmul::cls, "rand", Arg::Number},
    {QZ_Effect_Nefreqmul::cls, "stab", Arg::Number},

    {QZ_Effect_Gtzero::cls, "i", Arg::Buffer},
    {QZ_Effect_Gtzero::cls, "o", Arg::Buffer},
    {QZ_Effect_Gtzero::cls, "l", Arg::Number},
    {QZ_Effect_Ltzero::cls, "i", Arg::Buffer},
    {QZ_Effect_Ltzero::cls, "o", Arg::Buffer},
    {QZ_Effect_Ltzero::cls, "l", Arg::Number},

    {QZ_Effect_Bapass::cls, "i", Arg::Buffer},
    {QZ_Effect_Bapass::cls, "o", Arg::Buffer},
    {QZ_Effect_Bapass::cls, "f", Arg::Number},
    {QZ_Effect_Bapass::cls, "q", Arg::Number},

    {QZ_Effect_Ampdet::cls, "i", Arg::Buffer},
    {QZ_Effect_Ampdet::cls, "o", Arg::Buffer},
    {QZ_Effect_Ampdet::cls, "a", Arg::Buffer},
    {QZ_Effect_Ampdet::cls, "f1", Arg::Number},
    {QZ_Effect_Ampdet::cls, "f2", Arg::Number},

    {QZ_Effect_Copy::cls, "i", Arg::Buffer},
    {QZ_Effect_Copy::cls, "o", Arg::Buffer},
    {QZ_Effect_Copy::cls, "is", Arg::Number},
    {QZ_Effect_Copy::cls, "os", Arg::Number},

    {QZ_Effect_Oper::cls, "i1", Arg::Buffer},
    {QZ_Effect_Oper::cls, "i2", Arg::Buffer},
    {QZ_Effect_Oper::cls, "o", Arg::Buffer},
    {QZ_Effect_Oper::cls, "oper", Arg::Text},

    {QZ_Effect_Koef::cls, "i", Arg::Buffer},
    {QZ_Effect_Koef::cls, "o", Arg::Buffer},
    {QZ_Effect_Koef::cls, "oper", Arg::Text},
    {QZ_Effect_Koef::cls, "k", Arg::Number},

    {QZ_Effect_Dist::cls, "i", Arg::Buffer},
    {QZ_Effect_Dist::cls, "o", Arg::Buffer},
    {QZ_Effect_Dist::cls, "d", Arg::Number},
    {QZ_Effect_Dist::cls, "s", Arg::Number},
    {QZ_Effect_Dist::cls, "k", Arg::Number},
    {QZ_Effect_Dist::cls, "l", Arg::Number},

    // groups and taps are chosen only among the block's own
    {QZ_Effect_Deline::cls, "i", Arg::Buffer},
    {QZ_Effect_Deline::cls, "g", Arg::Any},
    {QZ_Effect_Deline::cls, "go", Arg::Buffer},
    {QZ_Effect_Deline::cls, "ga", Arg::Number},
    {QZ_Effect_Deline::cls, "gf", Arg::Number},
    {QZ_Effect_Deline::cls, "gc", Arg::Any},
    {QZ_Effect_Deline::cls, "d", Arg::Any},
    {QZ_Effect_Deline::cls, "dt", Arg::Number},
    {QZ_Effect_Deline::cls, "da", Arg::Number},
    {QZ_Effect_Deline::cls, "delete", Arg::Any},

    {QZ_Effect_Oversam::cls, "i", Arg::Buffer},
    {QZ_Effect_Oversam::cls, "o", Arg::Buffer},
    {QZ_Effect_Oversam::cls, "k", Arg::Number},

    {QZ_Effect_Shift::cls, "i", Arg::Buffer},
    {QZ_Effect_Shift::cls, "o", Arg::Buffer},
    {QZ_Effect_Shift::cls, "s", Arg::Number},
    {QZ_Effect_Shift::cls, "p", Arg::Number},
    {QZ_Effect_Nshift::cls, "i", Arg::Buffer},
    {QZ_Effect_Nshift::cls, "o", Arg::Buffer},
    {QZ_Effect_Nshift::cls, "s", Arg::Number},
    {QZ_Effect_Nshift::cls, "p", Arg::Number},

    {QZ_Fourier_Transform::cls, "i", Arg::Buffer},
    {QZ_Fourier_Transform::cls, "w", Arg::Any},
    {QZ_Fourier_Transform::cls, "d", Arg::Text},
    {QZ_Fourier_Transform::cls, "win", Arg::Text},
    {QZ_Fourier_Transform::cls, "s", Arg::Number},
    {QZ_Fourier_Transform::cls, "delete", Arg::Any},

    {QZ_Fourier_Noisegate::cls, "i", Arg::Buffer},
    {QZ_Fourier_Noisegate::cls, "o1", Arg::Buffer},
    {QZ_Fourier_Noisegate::cls, "o2", Arg::Buffer},
    {QZ_Fourier_Noisegate::cls, "s", Arg::Buffer},
    {QZ_Fourier_Noisegate::cls, "a", Arg::Number},
    {QZ_Fourier_Noisegate::cls, "w", Arg::Any},
    {QZ_Fourier_Noisegate::cls, "delete", Arg::Any},

    {QZ_Wid::cls, "l", Arg::Number},
    {QZ_Wid::cls, "t", Arg::Number},
    {QZ_Wid::cls, "w", Arg::Number},
    {QZ_Wid::cls, "h", Arg::Number},
    {QZ_Wid::cls, "win", Arg::Null},
    {QZ_Wid::cls, "vis", Arg::Number},
    {QZ_Wid::cls, "enabled", Arg::Number},
    {QZ_Wid::cls, "delete", Arg::Any},

    {QZ_Wid_Pic::cls, "res", Arg::Text},

    // "dat" is only handed to the notify function and the bound value,
    // which a typed line can only leave unset
    {QZ_Wid_Butt::cls, "res", Arg::Text},
    {QZ_Wid_Butt::cls, "com", Arg::Null},
    {QZ_Wid_Butt::cls, "var", Arg::Null},
    {QZ_Wid_Butt::cls, "val", Arg::Number},
    {QZ_Wid_Butt::cls, "dat", Arg::Any},

    {QZ_Wid_Knob::cls, "res", Arg::Text},
    {QZ_Wid_Knob::cls, "com", Arg::Null},
    {QZ_Wid_Knob::cls, "val", Arg::Number},
    {QZ_Wid_Knob::cls, "dat", Arg::Any},
    {QZ_Wid_Knob::cls, "mn", Arg::Number},
    {QZ_Wid_Knob::cls, "mx", Arg::Number},
    {QZ_Wid_Knob::cls, "var", Arg::Null},

    {QZ_Wid_Pal::cls, "res", Arg::Text},
    {QZ_Wid_Pal::cls, "mn", Arg::Number},
    {QZ_Wid_Pal::cls, "rl", Arg::Number},
    {QZ_Wid_Pal::cls, "mx", Arg::Number},
    {QZ_Wid_Pal::cls, "bg", Arg::Number},
    {QZ_Wid_Pal::cls, "fg", Arg::Number},
    {QZ_Wid_Pal::cls, "rg", Arg::Number},
    {QZ_Wid_Pal::cls, "cg", Arg::Number},
    {QZ_Wid_Pal::cls, "ch", Arg::Text},
    {QZ_Wid_Pal::cls, "ln", Arg::Null},
    {QZ_Wid_Pal::cls, "level", Arg::Number},

    {QZ_Wid_Text::cls, "text", Arg::Text},
    {QZ_Wid_Text::cls, "color", Arg::Number},
    {QZ_Wid_Text::cls, "font", Arg::Text},
    {QZ_Wid_Text::cls, "size", Arg::Number},
    {QZ_Wid_Text::cls, "horz", Arg::Number},
    {QZ_Wid_Text::cls, "bold", Arg::Number},
};

// The descriptor whose entries hold the option, searched as find_option does.
const QZ_Entry* holder(const QZ_Entry* d, std::string_view name) {
    while (d) {
        const QZ_Entry* e = d + 1;
        for (; e->name; ++e)
            if (name == e->name) return d;
        d = e->parent;
    }
    return nullptr;
}

// A word of the line: [b, e), or the end of the text.
struct Word {
    const char* b;
    const char* e;
    bool end() const { return b == e && *b == '\0'; }
    std::string_view text() const { return {b, size_t(e - b)}; }
    const char* next() const { return *e == ' ' ? e + 1 : e; }
};

Word word_at(const char* p) {
    const char* e = p;
    while (*e && *e != ' ')
        ++e;
    return {p, e};
}

// A number word read as the interpreter reads it into a handle: false when
// it is no number the interpreter takes (it refuses the line itself then).
bool handle_of(const Word& w, int state, uintptr_t& h) {
    if (state == W_HEX) return std::from_chars(w.b + 2, w.e, h, 16).ec == std::errc();
    if (state == W_UNSIGNED) {
        uint64_t u = 0;
        if (std::from_chars(w.b, w.e, u).ec != std::errc() || u > 0xFFFFFFFFu) return false;
        h = uintptr_t(uint32_t(u));
        return true;
    }
    if (state == W_SIGNED) {
        int64_t i = 0;
        if (std::from_chars(w.b + (*w.b == '+'), w.e, i).ec != std::errc() || i < INT32_MIN ||
            i > INT32_MAX)
            return false;
        h = uintptr_t(uint32_t(int32_t(i)));
        return true;
    }
    return false;
}

// A handle as commands write it: "0x" and upper-case hex digits.
std::string hex(const void* p) {
    char digits[2 * sizeof(uintptr_t)];
    char* e = std::to_chars(digits, digits + sizeof digits, uintptr_t(p), 16).ptr;
    std::string s = "0x";
    for (const char* c = digits; c < e; ++c)
        s.push_back(char(std::toupper(static_cast<unsigned char>(*c))));
    return s;
}

std::string why(const std::string& reason, const Word& w) {
    return reason + " '" + std::string(w.text()) + "'";
}

// Empty when object h may stand where an object of that class is wanted.
std::string object_check(uintptr_t h, const QZ_Entry* wanted, const Word& w) {
    const void* p = reinterpret_cast<const void*>(h);
    if (!is_live(p)) return why("no object", w);
    if (!is_a(static_cast<const QZ_Object*>(p), wanted))
        return why(std::string("not a ") + class_name(wanted), w);
    return {};
}

// Empty when the value word fits what the option takes.
std::string value_check(Arg arg, std::string_view option, const Word& w) {
    const int state = [&] {
        const char* end = nullptr;
        return classify(w.b, &end);
    }();
    const std::string param = "param '" + std::string(option) + "' takes ";
    switch (arg) {
    case Arg::Any:
        return {};
    case Arg::Number:
        return state == W_TEXT ? why(param + "a number, not", w) : std::string();
    case Arg::Text:
        return state == W_TEXT ? std::string() : why(param + "a word, not", w);
    case Arg::Unknown:
        return why(param + "nothing the shell can check, not", w);
    default:
        break;
    }
    uintptr_t h = 0;
    if (state == W_FLOAT || state == W_TEXT) return why(param + "a handle, not", w);
    if (!handle_of(w, state, h)) return {}; // the interpreter refuses the number
    if (h == 0) return {};                  // none
    if (arg == Arg::Null) return why(param + "only 0 in the shell, not", w);
    return object_check(h, arg == Arg::Buffer ? QZ_Buffer::cls : QZ_Effect::cls, w);
}

} // namespace

Arg argument(const QZ_Entry* descriptor, std::string_view option) {
    const QZ_Entry* d = holder(descriptor, option);
    for (const OptionArg& o : options)
        if (o.descriptor == d && option == o.option) return o.arg;
    return Arg::Unknown;
}

bool is_a(const QZ_Object* o, const QZ_Entry* descriptor) {
    for (const ClassCheck& c : classes)
        if (c.descriptor == descriptor) return c.is(o);
    return false;
}

const char* class_name(const QZ_Entry* descriptor) {
    for (const QZ_Class* c = __QZ; c->name; ++c)
        if (c->descriptor == descriptor) return c->name;
    return "?";
}

std::string check(const std::string& line) {
    const char* p = line.c_str();
    // A line that starts with a conversion names no class: the interpreter
    // refuses it.
    const Word name = word_at(p);
    const QZ_Entry* desc = find_class(name.b, size_t(name.e - name.b));
    if (!desc) return {};

    // The word after the class: the object to act on, or what a creation takes.
    const QZ_Object* target = nullptr;
    Word w = word_at(name.next());
    Word named = w;
    if (w.end()) return {};
    if (*w.b == '%') {
        if (w.e - w.b != 1) return {};
        w = word_at(w.next()); // a discard: the next word is the first option
    } else {
        const char* end = nullptr;
        const int state = classify(w.b, &end);
        if (state == W_HEX || state == W_UNSIGNED || state == W_SIGNED) {
            uintptr_t h = 0;
            if (!handle_of(w, state, h) || h == 0) return {};
            if (std::string e = object_check(h, desc, w); !e.empty()) return e;
            target = reinterpret_cast<const QZ_Object*>(h);
            named = w;
            w = word_at(w.next());
        } else if (state != W_TEXT) {
            return {};
        } else if (*w.b != '-') {
            w = word_at(w.next()); // a creation argument
        }
    }

    // Option names and their values, as the interpreter pairs them.
    for (;;) {
        if (w.end()) return {};
        const char* end = nullptr;
        if (classify(w.b, &end) != W_TEXT || *w.b != '-') return {};
        const std::string_view option(w.b + 1, size_t(w.e - w.b - 1));
        if (!holder(desc, option)) return {};
        const bool deleting = option == "delete";
        // what its owner deletes is deleted with the owner, never alone
        if (deleting && target && target->owner)
            return why("deleted only with its owner " + hex(target->owner) + ":", named);
        const Word v = word_at(w.next());
        if (v.end() || deleting) return {};
        if (*v.b == '%') {
            if (v.e - v.b != 1) return {};
            w = word_at(v.next()); // a query whose answer is dropped
            continue;
        }
        if (classify(v.b, &end) == W_TEXT && *v.b == '-') {
            w = v; // a query: this word is the next option
            continue;
        }
        if (std::string e = value_check(argument(desc, option), option, v); !e.empty()) return e;
        w = word_at(v.next());
    }
}

} // namespace qz::door
