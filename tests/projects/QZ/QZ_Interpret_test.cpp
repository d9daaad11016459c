#include "QZ_Interpret.h"
#include "QZ_Options.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using qz::test::cmd;
using qz::test::stdout_of;

namespace {

struct Call {
    std::string option;
    int32_t type;
    uintptr_t value;
    std::string text; // copied while the handler runs, so it shows the in-place NUL
};

std::vector<Call> calls;
char* special_seen = nullptr;
int probes_alive = 0;

Call record(const char* option, QZ_value v) {
    Call c{option, v.type, v.value, {}};
    if (v.type == QZ_value::TEXT) c.text = v.asText();
    calls.push_back(c);
    return c;
}

class ProbeBase : public QZ_Object {
public:
    static QZ_value m_base(ProbeBase*, QZ_value v) {
        record("base", v);
        return QZ_value::integer(11);
    }
    static QZ_value m_f(ProbeBase*, QZ_value v) {
        record("base.f", v);
        return QZ_value::integer(-1);
    }
    static const QZ_Entry cls[];
};
const QZ_Entry ProbeBase::cls[] = {qz::abstract(), qz::option<&ProbeBase::m_base>("base"),
                                   qz::option<&ProbeBase::m_f>("f"), qz::parent(QZ_Object::cls)};

class Probe : public ProbeBase {
public:
    int32_t f = 7;
    Probe() {
        special_seen = QZ_specialobject;
        ++probes_alive;
    }
    ~Probe() override { --probes_alive; }
    static QZ_value m_f(Probe* p, QZ_value v) {
        record("f", v);
        if (v.present()) p->f = v.asInt();
        return QZ_value::integer(p->f);
    }
    static QZ_value m_r(Probe*, QZ_value v) {
        record("r", v);
        return QZ_value::real(2.5f);
    }
    static QZ_value m_t(Probe*, QZ_value v) {
        record("t", v);
        return QZ_value::text("abc");
    }
    static QZ_value m_h(Probe* p, QZ_value v) {
        record("h", v);
        return QZ_value::handle(p);
    }
    static QZ_value m_b(Probe*, QZ_value v) {
        record("b", v);
        static const char bytes[3] = {'a', '\0', 'b'};
        return QZ_value(reinterpret_cast<uintptr_t>(bytes), QZ_value::HANDLE, 3);
    }
    static QZ_value m_n(Probe*, QZ_value v) {
        record("n", v);
        return QZ_EMPTY;
    }
    static QZ_value m_l(Probe*, QZ_value v) {
        record("l", v);
        return QZ_value::integer(1);
    }
    static QZ_value m_limit(Probe*, QZ_value v) {
        record("limit", v);
        return QZ_value::integer(2);
    }
    // refuses numbers above 10, as handlers refuse what they cannot take
    static QZ_value m_x(Probe* p, QZ_value v) {
        record("x", v);
        if (v.present() && v.asInt() > 10) return qz::refused("at most 10");
        if (v.present()) p->f = v.asInt();
        return QZ_value::integer(p->f);
    }
    static const QZ_Entry cls[];
};
const QZ_Entry Probe::cls[] = {qz::creates<Probe>(),         qz::option<&Probe::m_f>("f"),
                               qz::option<&Probe::m_r>("r"), qz::option<&Probe::m_t>("t"),
                               qz::option<&Probe::m_h>("h"), qz::option<&Probe::m_b>("b"),
                               qz::option<&Probe::m_n>("n"), qz::option<&Probe::m_limit>("limit"),
                               qz::option<&Probe::m_l>("l"), qz::option<&Probe::m_x>("x"),
                               qz::parent(ProbeBase::cls)};

// Its create finds nothing to return.
struct Nothing {
    static QZ_Object* create() { return nullptr; }
    static const QZ_Entry cls[];
};
const QZ_Entry Nothing::cls[] = {qz::create_entry(&Nothing::create), qz::parent(QZ_Object::cls)};

const QZ_Class probe_table[] = {
    {"QZ_Object", QZ_Object::cls},
    {"QZ_Probe_Base", ProbeBase::cls},
    {"QZ_Probe", Probe::cls},
    {"QZ_Nothing", Nothing::cls},
    {nullptr, nullptr},
};

class Interpret : public testing::Test {
protected:
    void SetUp() override {
        saved_ = qz::class_table;
        qz::class_table = probe_table;
        calls.clear();
        special_seen = nullptr;
    }
    void TearDown() override { qz::class_table = saved_; }

    // Runs in text-result mode and answers the code; the text goes to out.
    template <class... A> QZ_error text(const std::string& c, std::string& out, A... args) {
        char buf[512];
        int cap = sizeof buf;
        QZ_error e = QZ_command_text(cmd(c), buf, &cap, args...);
        out.assign(buf, e == QZ_OK ? size_t(cap) : std::strlen(buf));
        return e;
    }

    Probe* make(const std::string& options = "") {
        Probe* p = nullptr;
        EXPECT_EQ(QZ_command(cmd("QZ_Probe" + options), &p), QZ_OK);
        return p;
    }

private:
    const QZ_Class* saved_ = nullptr;
};

TEST(Tokenizer, WordsReachTheirFinalStates) {
    struct {
        const char* word;
        int state;
    } cases[] = {{"200", 5},    {"0", 5},          {"-45", 6},       {"+7", 6},     {".5", 7},
                 {".01", 7},    {"1.", 7},         {"1e3", 7},       {"-0.5", 7},   {"1E+5", 7},
                 {"0e5", 7},    {"0x00A57BBD", 4}, {"0XfF", 4},      {"0x", 11},    {"-", 11},
                 {"1.2.3", 11}, {"tahoma", 11},    {"-oper", 11},    {"1e", 11},    {"0x1g", 11},
                 {"12a", 11},   {"", 11},          {"\xC3\xA9", 11}, {"5 rest", 5}, {"00", 5}};
    for (auto& c : cases) {
        const char* end = nullptr;
        EXPECT_EQ(qz::classify(c.word, &end), c.state) << c.word;
        EXPECT_TRUE(*end == ' ' || *end == '\0');
    }
}

TEST_F(Interpret, ValuesArriveWithTheirTypes) {
    Probe* p = make();
    ASSERT_NE(p, nullptr);
    calls.clear();
    EXPECT_EQ(QZ_command(cmd("%o -f 200 -r .5 -f -45 -h 0xFF000000 -t bgnd -t mul -r 1e3"), p),
              QZ_OK);
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].type, QZ_value::INT);
    EXPECT_EQ(int32_t(calls[0].value), 200);
    EXPECT_EQ(calls[1].type, QZ_value::FLOAT);
    EXPECT_EQ(QZ_value(calls[1].value, 3).asFloat(), 0.5f);
    EXPECT_EQ(QZ_value(calls[2].value, 2).asInt(), -45);
    EXPECT_EQ(calls[3].type, QZ_value::HANDLE);
    EXPECT_EQ(calls[3].value, 4278190080u);
    EXPECT_EQ(calls[4].type, QZ_value::TEXT);
    EXPECT_EQ(calls[4].text, "bgnd");
    EXPECT_EQ(calls[5].text, "mul");
    EXPECT_EQ(QZ_value(calls[6].value, 3).asFloat(), 1000.0f);
    EXPECT_EQ(p->f, -45);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, TextValuesAreTerminatedOnlyDuringTheCall) {
    char* c = cmd("QZ_Probe -t bgnd -f 1");
    Probe* p = nullptr;
    ASSERT_EQ(QZ_command(c, &p), QZ_OK);
    EXPECT_EQ(calls[0].text, "bgnd");
    EXPECT_STREQ(c, "QZ_Probe -t bgnd -f 1"); // separators put back
    EXPECT_EQ(p->command, c);
    EXPECT_EQ(p->descriptor, Probe::cls);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, NegativeNumberIsAValueButDashWordIsTheNextOption) {
    Probe* p = make();
    calls.clear();
    ASSERT_EQ(QZ_command(cmd("%o -f -1"), p), QZ_OK);
    EXPECT_EQ(p->f, -1);
    calls.clear();
    int32_t f = 0;
    const char* t = nullptr;
    ASSERT_EQ(QZ_command(cmd("%o -t -f"), p, &t, &f), QZ_OK);
    EXPECT_STREQ(t, "abc");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].option, "t");
    EXPECT_EQ(calls[0].type, QZ_value::NONE);
    EXPECT_EQ(calls[1].option, "f");
    EXPECT_EQ(f, -1);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, ConversionsTakeArgumentsLeftToRight) {
    Probe* p = nullptr;
    int32_t f = 0;
    const char* t = nullptr;
    Probe* h = nullptr;
    ASSERT_EQ(
        QZ_command(cmd("QZ_Probe -f %i -f -r %f -t %s -t -h"), &p, 42, &f, 200.0, "xyz", &t, &h),
        QZ_OK);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(f, 42);
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[2].type, QZ_value::FLOAT);
    EXPECT_EQ(QZ_value(calls[2].value, 3).asFloat(), 200.0f);
    EXPECT_EQ(calls[3].text, "xyz");
    EXPECT_STREQ(t, "abc");
    EXPECT_EQ(h, p);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, QueryResultsStoredByType) {
    Probe* p = make();
    int32_t i = 0;
    float r = 0;
    const char* t = nullptr;
    void* h = nullptr;
    ASSERT_EQ(QZ_command(cmd("%o -f -r -t -h -n"), p, &i, &r, &t, &h), QZ_OK);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(r, 2.5f);
    EXPECT_STREQ(t, "abc");
    EXPECT_EQ(h, p);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, DiscardPlaceholderQueriesWithoutArgument) {
    Probe* p = nullptr;
    int32_t f = 0;
    ASSERT_EQ(QZ_command(cmd("QZ_Probe -f % -t % -f"), &p, &f), QZ_OK);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].type, QZ_value::NONE);
    EXPECT_EQ(calls[1].option, "t");
    EXPECT_EQ(f, 7);
    // "%" closing the text drops the last result too
    calls.clear();
    ASSERT_EQ(QZ_command(cmd("%o -f %"), p), QZ_OK);
    EXPECT_EQ(calls.size(), 1u);
    // a discard after the class name creates without storing
    int32_t f2 = 0;
    Probe* unstored = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Probe % -f -h"), &f2, &unstored), QZ_OK);
    EXPECT_EQ(f2, 7);
    EXPECT_EQ(probes_alive, 2);
    QZ_command(cmd("%o -delete"), p);
    QZ_command(cmd("%o -delete"), unstored);
}

TEST_F(Interpret, CreationArgumentIsThePlainWordAfterTheClass) {
    Probe* p = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Probe current -f 3"), &p), QZ_OK);
    ASSERT_NE(special_seen, nullptr);
    EXPECT_EQ(std::strncmp(special_seen, "current", 7), 0);
    EXPECT_EQ(p->f, 3);
    QZ_command(cmd("%o -delete"), p);
    ASSERT_EQ(QZ_command(cmd("QZ_Probe -f 3"), &p), QZ_OK);
    EXPECT_EQ(special_seen, nullptr);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, TextResultListsHandleThenQueries) {
    std::string out;
    ASSERT_EQ(text("QZ_Probe -f -l", out), QZ_OK);
    Probe* p = nullptr;
    ASSERT_EQ(std::sscanf(out.c_str(), "0x%p", reinterpret_cast<void**>(&p)), 1);
    char expect[64];
    std::snprintf(expect, sizeof expect, "0x%llX 7 1",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    EXPECT_EQ(out, expect);
    ASSERT_EQ(text("%o -r -t -h -n -b", out, p), QZ_OK);
    std::snprintf(expect, sizeof expect, "2.500000 abc 0x%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    EXPECT_EQ(out, std::string(expect) + std::string(" a\0b", 4));
    // the printed handle can be typed into the next command
    ASSERT_EQ(text("QZ_Probe " + std::string(expect + 13) + " -f 9 -f", out), QZ_OK);
    EXPECT_EQ(out, "9");
    QZ_command(cmd("%o -delete"), p);
}

QZ_error both_modes(char* c, char* buf, int* cap, ...) {
    va_list ap;
    va_start(ap, cap);
    QZ_error e = QZ_interpret(QZ_TEXT_RESULT | QZ_STORE, c, buf, cap, ap);
    va_end(ap);
    return e;
}

TEST_F(Interpret, BothModesTogether) {
    Probe* p = nullptr;
    int32_t f = 0;
    char buf[64];
    int cap = sizeof buf;
    ASSERT_EQ(both_modes(cmd("QZ_Probe -f"), buf, &cap, &p, &f), QZ_OK);
    EXPECT_EQ(f, 7);
    EXPECT_NE(std::string(buf, size_t(cap)).find(" 7"), std::string::npos);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, ResultNeverWritesPastCapacity) {
    Probe* p = make();
    // Expected full text: "abc abc abc" (11 characters plus the NUL).
    for (int cap = 0; cap <= 14; ++cap) {
        char buf[32];
        std::memset(buf, '#', sizeof buf);
        int c = cap;
        QZ_error e = QZ_command_text(cmd("%o -t -t -t"), buf + 8, &c, p);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(buf[i], '#');
        for (int i = 8 + cap; i < 32; ++i)
            EXPECT_EQ(buf[i], '#') << "capacity " << cap;
        if (cap >= 12) {
            EXPECT_EQ(e, QZ_OK);
            EXPECT_EQ(c, 11);
            EXPECT_STREQ(buf + 8, "abc abc abc");
        } else {
            EXPECT_EQ(e, QZ_ERROR_COMMAND_NOT_SPACE) << "capacity " << cap;
            if (cap > 0) {
                EXPECT_EQ(buf[8 + cap - 1], 0);
            }
        }
    }
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, ClassNamesMatchWholeWords) {
    std::string out;
    std::string said =
        stdout_of([&] { EXPECT_EQ(text("QZ_Prob -f", out), QZ_ERROR_COMMAND_NOT_FOUND); });
    EXPECT_EQ(said, "derar: command 'QZ_Prob -f' not found\n");
    said = stdout_of([&] { EXPECT_EQ(text("QZ_Probes", out), QZ_ERROR_COMMAND_NOT_FOUND); });
    EXPECT_EQ(said, "derar: command 'QZ_Probes' not found\n");
    said = stdout_of([&] { EXPECT_EQ(text("", out), QZ_ERROR_COMMAND_NOT_FOUND); });
    EXPECT_EQ(said, "derar: command '' not found\n");
    EXPECT_EQ(probes_alive, 0);
}

TEST_F(Interpret, OptionLookupFollowsParentsAndWholeWords) {
    Probe* p = make();
    calls.clear();
    int32_t a = 0, b = 0, c = 0;
    ASSERT_EQ(QZ_command(cmd("%o -l -limit -base"), p, &a, &b, &c), QZ_OK);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(c, 11);
    // the named class decides where lookup starts: the base's "f" is hidden in
    // Probe but reached through the base's own name
    int32_t f = 0;
    ASSERT_EQ(QZ_command(cmd("QZ_Probe_Base %o -f"), p, &f), QZ_OK);
    EXPECT_EQ(f, -1);
    ASSERT_EQ(QZ_command(cmd("%o -f"), p, &f), QZ_OK);
    EXPECT_EQ(f, 7);
    ASSERT_EQ(QZ_command(cmd("QZ_Object %o -delete"), p), QZ_OK);
    EXPECT_EQ(probes_alive, 0);
}

TEST_F(Interpret, MissingOptionPrintsBothLinesAndKeepsEarlierEffects) {
    Probe* p = nullptr;
    std::string said = stdout_of([&] {
        EXPECT_EQ(QZ_command(cmd("QZ_Probe -f 5 -zz 1 -f 6"), &p), QZ_ERROR_COMMAND_NOT_PARAM);
    });
    EXPECT_EQ(said, "derar: QZ_Probe -f 5 -zz 1 -f 6\nderar: param 'zz 1 -f 6' not found\n");
    ASSERT_NE(p, nullptr); // stored before the failure
    EXPECT_EQ(p->f, 5);
    QZ_command(cmd("%o -delete"), p);
}

// A handler that refuses its value stops the command as a missing option
// does: reported, earlier words done, nothing after it run.
TEST_F(Interpret, RefusedValueIsReportedAsABadOption) {
    Probe* p = nullptr;
    std::string said = stdout_of([&] {
        EXPECT_EQ(QZ_command(cmd("QZ_Probe -x 5 -x 11 -f 6"), &p), QZ_ERROR_COMMAND_NOT_PARAM);
    });
    EXPECT_EQ(said, "derar: QZ_Probe -x 5 -x 11 -f 6\n"
                    "derar: param 'x' refuses '11': at most 10\n");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->f, 5);
    std::string out;
    said =
        stdout_of([&] { EXPECT_EQ(text("%o -x %i -x", out, p, 12), QZ_ERROR_COMMAND_NOT_PARAM); });
    EXPECT_NE(said.find("refuses '%i'"), std::string::npos) << said;
    EXPECT_EQ(text("%o -x 7 -x", out, p), QZ_OK);
    EXPECT_EQ(out, "7");
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, MalformedCommandsAreRefusedSafely) {
    Probe* p = make();
    struct {
        std::string text;
        QZ_error code;
    } cases[] = {
        {"%o -f 1 2", QZ_ERROR_COMMAND_NOT_PARAM},          // two values in a row
        {"%o", QZ_ERROR_COMMAND_NOT_PARAM},                 // only an object
        {"QZ_Probe_Base -f 1", QZ_ERROR_COMMAND_NOT_PARAM}, // abstract
        {"QZ_Object", QZ_ERROR_COMMAND_NOT_PARAM},          // abstract
        {"%o -f %x", QZ_ERROR_COMMAND_NOT_PARAM},           // unknown conversion
        {"%o -f %ii", QZ_ERROR_COMMAND_NOT_PARAM},          // conversion too long
        {"%o -f 4294967296", QZ_ERROR_COMMAND_NOT_PARAM},   // beyond 32 bits
        {"%o -f -2147483649", QZ_ERROR_COMMAND_NOT_PARAM},
        {"%o -f 99999999999999999999999", QZ_ERROR_COMMAND_NOT_PARAM},
        {"%o -h 0x1234567890ABCDEF01", QZ_ERROR_COMMAND_NOT_PARAM},
        {"%o -f 1 %o", QZ_ERROR_COMMAND_NOT_PARAM},    // conversion where an option is due
        {"%o -delete -f", QZ_ERROR_COMMAND_NOT_PARAM}, // the object is gone
        {"QZ_Nothing", QZ_ERROR_COMMAND_NOT_FOUND},
    };
    for (auto& c : cases) {
        Probe* target = c.text.find("-delete") != std::string::npos ? make() : p;
        std::string said =
            stdout_of([&] { EXPECT_EQ(QZ_command(cmd(c.text), target), c.code) << c.text; });
        EXPECT_EQ(said.rfind("derar: ", 0), 0u) << c.text;
    }
    EXPECT_EQ(p->f, 1); // only the value before each refused word was applied
    QZ_command(cmd("%o -delete"), p);
    EXPECT_EQ(probes_alive, 0);
}

TEST_F(Interpret, NullTargetIsRefusedBeforeAnyHandler) {
    std::string said = stdout_of([&] {
        EXPECT_EQ(QZ_command(cmd("%o -f 1"), nullptr), QZ_ERROR_COMMAND_NOT_PARAM);
        EXPECT_EQ(QZ_command(cmd("QZ_Object %o -delete"), nullptr), QZ_ERROR_COMMAND_NOT_PARAM);
        EXPECT_EQ(QZ_command(cmd("QZ_Probe 0 -f 1")), QZ_ERROR_COMMAND_NOT_PARAM);
        EXPECT_EQ(QZ_command(cmd("%s -f 1"), "x"), QZ_ERROR_COMMAND_NOT_PARAM);
        EXPECT_EQ(QZ_command(cmd("% -f 1")), QZ_ERROR_COMMAND_NOT_PARAM);
    });
    EXPECT_TRUE(calls.empty());
    EXPECT_NE(said.find("derar: null object"), std::string::npos);
}

TEST_F(Interpret, FloatWordsReadLikeTheCReader) {
    Probe* p = make();
    calls.clear();
    ASSERT_EQ(QZ_command(cmd("%o -r . -r -. -r +.25 -r 1e99 -r -1e99 -r 1e-99 -r 3.4028235e38"), p),
              QZ_OK);
    ASSERT_EQ(calls.size(), 7u);
    auto f = [](const Call& c) { return QZ_value(c.value, 3).asFloat(); };
    EXPECT_EQ(f(calls[0]), 0.0f);
    EXPECT_EQ(f(calls[1]), 0.0f);
    EXPECT_EQ(f(calls[2]), 0.25f);
    EXPECT_TRUE(std::isinf(f(calls[3])) && f(calls[3]) > 0);
    EXPECT_TRUE(std::isinf(f(calls[4])) && f(calls[4]) < 0);
    EXPECT_EQ(f(calls[5]), 0.0f);
    EXPECT_EQ(f(calls[6]), 3.4028235e38f);
    // unsigned decimal words use all 32 bits
    calls.clear();
    ASSERT_EQ(QZ_command(cmd("%o -f 4294967295 -f -2147483648"), p), QZ_OK);
    EXPECT_EQ(QZ_value(calls[0].value, 2).asInt(), -1);
    EXPECT_EQ(QZ_value(calls[1].value, 2).asInt(), INT32_MIN);
    QZ_command(cmd("%o -delete"), p);
}

TEST_F(Interpret, EmptyWordsAndTrailingBlank) {
    Probe* p = make();
    calls.clear();
    // two blanks make an empty text word; a final blank ends the command
    ASSERT_EQ(QZ_command(cmd("%o -t  -f 2 "), p), QZ_OK);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].type, QZ_value::TEXT);
    EXPECT_EQ(calls[0].text, "");
    EXPECT_EQ(p->f, 2);
    QZ_command(cmd("%o -delete"), p);
}

} // namespace
