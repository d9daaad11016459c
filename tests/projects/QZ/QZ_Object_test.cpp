#include "QZ_Apptpl.h"
#include "QZ_Buffer.h"
#include "QZ_Chain.h"
#include "QZ_Fourier_Noisegate.h"
#include "QZ_Interpret.h"
#include "QZ_Object.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<int> order(const QZ_Chain& c) {
    std::vector<int> v;
    c.each<int>([&](int* x) { v.push_back(*x); });
    return v;
}

TEST(Chain, StartsEmptyBetweenSentinels) {
    QZ_Chain c;
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(c.head.next, &c.tail);
    EXPECT_EQ(c.tail.prev, &c.head);
    EXPECT_EQ(c.head.prev, nullptr);
    EXPECT_EQ(c.tail.next, nullptr);
    EXPECT_EQ(c.head.data, nullptr);
    int x = 1;
    QZ_Chain_Item i(&x);
    EXPECT_EQ(i.prev, nullptr);
    EXPECT_EQ(i.next, nullptr);
    EXPECT_EQ(i.data, &x);
    EXPECT_EQ(i.chain, nullptr);
}

TEST(Chain, InsertAppendsOrGoesBefore) {
    int a = 1, b = 2, c = 3;
    QZ_Chain_Item ia(&a), ib(&b), ic(&c);
    QZ_Chain ch;
    ch.insert(&ia);
    ch.insert(&ic);
    ch.insert(&ib, &ic);
    EXPECT_EQ(order(ch), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(ch.count, 3);
    EXPECT_EQ(ib.chain, &ch);
}

TEST(Chain, InsertingAMemberAgainChangesNothing) {
    int a = 1, b = 2;
    QZ_Chain_Item ia(&a), ib(&b);
    QZ_Chain ch, other;
    ch.insert(&ia);
    ch.insert(&ib);
    ch.insert(&ia);
    other.insert(&ia);
    EXPECT_EQ(order(ch), (std::vector<int>{1, 2}));
    EXPECT_EQ(ch.count, 2);
    EXPECT_EQ(other.count, 0);
    EXPECT_EQ(ia.chain, &ch);
}

TEST(Chain, RemoveOnlyFromTheItemsOwnChain) {
    int a = 1, b = 2, c = 3;
    QZ_Chain_Item ia(&a), ib(&b), ic(&c);
    QZ_Chain ch, other;
    ch.insert(&ia);
    ch.insert(&ib);
    ch.insert(&ic);
    other.remove(&ib);
    EXPECT_EQ(ch.count, 3);
    ch.remove(&ib);
    EXPECT_EQ(order(ch), (std::vector<int>{1, 3}));
    EXPECT_EQ(ch.count, 2);
    EXPECT_EQ(ib.chain, nullptr);
    EXPECT_EQ(ib.prev, &ia); // own links are left as they were
    ch.remove(&ib);
    EXPECT_EQ(ch.count, 2);
    // a removed item can join again
    ch.insert(&ib, &ia);
    EXPECT_EQ(order(ch), (std::vector<int>{2, 1, 3}));
}

TEST(Chain, BeforeFromAnotherChainAppends) {
    int a = 1, b = 2, z = 9;
    QZ_Chain_Item ia(&a), ib(&b), iz(&z);
    QZ_Chain ch, other;
    other.insert(&iz);
    ch.insert(&ia);
    ch.insert(&ib, &iz);
    EXPECT_EQ(order(ch), (std::vector<int>{1, 2}));
    EXPECT_EQ(order(other), (std::vector<int>{9}));
}

class App : public QZ_Apptpl {
public:
    QZ_error create() override { return QZ_OK; }
    QZ_error attach(QZ_Win*) override { return QZ_OK; }
    QZ_error detach() override { return QZ_OK; }
    QZ_error destroy() override { return QZ_OK; }
};

TEST(Apptpl, TemplateStateHooksAnswerNothing) {
    App app;
    EXPECT_EQ(app.hasState(), 0);
    QZ_value s = app.getState();
    EXPECT_EQ(s.value, 0u);
    EXPECT_EQ(s.type, QZ_value::NONE);
    EXPECT_EQ(s.length, -1);
    app.setState(QZ_value::integer(5));
    EXPECT_EQ(app.getState().type, QZ_value::NONE);
    QZ_initall();
}

TEST(Value, EmptyIsNoneWithoutLength) {
    EXPECT_EQ(QZ_EMPTY.value, 0u);
    EXPECT_EQ(QZ_EMPTY.type, 1);
    EXPECT_EQ(QZ_EMPTY.length, -1);
    EXPECT_FALSE(QZ_EMPTY.present());
#if UINTPTR_MAX == 0xFFFFFFFFu
    // three 32-bit fields after the table pointer
    static_assert(sizeof(QZ_value) == 16);
#endif
    EXPECT_EQ(QZ_value::integer(-45).asInt(), -45);
    EXPECT_EQ(QZ_value::real(0.5f).asFloat(), 0.5f);
}

TEST(ClassTable, OptionsAreFoundUpThroughTheParents) {
    EXPECT_EQ(qz::find_class("QZ_Object", 9), QZ_Object::cls);
    EXPECT_EQ(qz::find_class("QZ_Obj", 6), nullptr);
    EXPECT_NE(qz::find_option(QZ_Object::cls, "delete", 6), nullptr);
    EXPECT_EQ(qz::find_option(QZ_Object::cls, "del", 3), nullptr);
    EXPECT_EQ(qz::find_option(QZ_Object::cls, "", 0), nullptr); // entry 0 is never an option
    EXPECT_EQ(QZ_Object::cls[0].create, nullptr);
}

// The table's rows in their fixed order: class, parent, options in
// descriptor order ("" for none).
TEST(ClassTable, HoldsTheClassesInTheirOrderWithTheirParentsAndOptions) {
    struct Row {
        const char *name, *parent, *options;
    };
    const Row rows[] = {
        {"QZ_Object", "", "delete"},
        {"QZ_Soundpipe", "QZ_Object", "bl be b e"},
        {"QZ_Buffer", "QZ_Object", "l t limit delete"},
        {"QZ_Effect", "QZ_Object", "before mode clock on delete"},
        {"QZ_Effect_Zero", "QZ_Effect", "o"},
        {"QZ_Effect_Hipass", "QZ_Effect", "i o f"},
        {"QZ_Effect_Lopass", "QZ_Effect", "i o f"},
        {"QZ_Effect_Freqmul", "QZ_Effect", "i o k"},
        {"QZ_Effect_Nefreqmul", "QZ_Effect", "i o k rand stab"},
        {"QZ_Effect_Gtzero", "QZ_Effect", "i o l"},
        {"QZ_Effect_Ltzero", "QZ_Effect", "i o l"},
        {"QZ_Effect_Bapass", "QZ_Effect", "i o f q"},
        {"QZ_Effect_Ampdet", "QZ_Effect", "i o a f1 f2"},
        {"QZ_Effect_Copy", "QZ_Effect", "i o is os"},
        {"QZ_Effect_Oper", "QZ_Effect", "i1 i2 o oper"},
        {"QZ_Effect_Koef", "QZ_Effect", "i o oper k"},
        {"QZ_Effect_Dist", "QZ_Effect", "i o d s k l"},
        {"QZ_Effect_Deline", "QZ_Effect", "i g go ga gf gc d dt da delete"},
        {"QZ_Effect_Oversam", "QZ_Effect", "i o k"},
        {"QZ_Effect_Shift", "QZ_Effect", "i o s p"},
        {"QZ_Effect_Nshift", "QZ_Effect", "i o s p"},
        {"QZ_Fourier_Transform", "QZ_Effect", "i w d win s delete"},
        {"QZ_Fourier_Noisegate", "QZ_Effect", "i o1 o2 s a w delete"},
        {"QZ_Wid", "QZ_Object", "l t w h win vis enabled delete"},
        {"QZ_Wid_Pic", "QZ_Wid", "res"},
        {"QZ_Wid_Butt", "QZ_Wid", "res com var val dat"},
        {"QZ_Wid_Knob", "QZ_Wid", "res com val dat mn mx var"},
        {"QZ_Wid_Pal", "QZ_Wid", "res mn rl mx bg fg rg cg ch ln level"},
        {"QZ_Wid_Text", "QZ_Wid", "text color font size horz bold"},
    };
    size_t n = 0;
    while (__QZ[n].name)
        ++n;
    ASSERT_EQ(n, std::size(rows));
    auto name_of = [](const QZ_Entry* d) -> std::string {
        for (size_t i = 0; __QZ[i].name; ++i)
            if (__QZ[i].descriptor == d) return __QZ[i].name;
        return "";
    };
    for (size_t r = 0; r < n; ++r) {
        EXPECT_STREQ(__QZ[r].name, rows[r].name) << r;
        std::string options;
        const QZ_Entry* e = __QZ[r].descriptor + 1;
        for (; e->name; ++e)
            options += (options.empty() ? "" : " ") + std::string(e->name);
        EXPECT_EQ(options, rows[r].options) << rows[r].name;
        EXPECT_EQ(name_of(e->parent), rows[r].parent) << rows[r].name;
    }
}

} // namespace

namespace {

// Two objects that note the order in which they go.
std::vector<int> gone;
struct Noted : QZ_Object {
    int id;
    explicit Noted(int i) : id(i) {}
    ~Noted() override { gone.push_back(id); }
};

// A block's own buffers and parts are its to delete: a session's clean-up
// deletes each object once, whether the owner is older or newer than them.
TEST(Registry, OwnedObjectsGoOnlyWithTheirOwner) {
    using qz::test::cmd;
    const size_t before = qz::live_objects();
    const uint64_t mark = qz::next_serial();
    QZ_Buffer* given = nullptr; // older than the gate that takes it
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer -l 8"), &given), QZ_OK);
    QZ_Fourier_Transform* t = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Fourier_Transform -s 5"), &t), QZ_OK);
    QZ_Fourier_Noisegate* g = nullptr;
    QZ_Buffer* made = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Fourier_Noisegate -o1 %o -o2"), &g, given, &made), QZ_OK);
    EXPECT_EQ(t->work->owner, t);
    EXPECT_EQ(t->history->owner, t);
    EXPECT_EQ(given->owner, g);
    EXPECT_EQ(made->owner, g);
    for (QZ_Object* part : std::initializer_list<QZ_Object*>{g->windowed, g->late, g->response,
                                                             g->firstHalf, g->secondHalf, g->delay,
                                                             g->delayed, g->profile, g->gains})
        EXPECT_EQ(part->owner, g);
    EXPECT_EQ(g->late->work->owner, g->late);
    EXPECT_EQ(t->owner, nullptr);
    EXPECT_TRUE(qz::is_live(t->work));
    qz::delete_objects_since(mark);
    EXPECT_EQ(qz::live_objects(), before);
    EXPECT_FALSE(qz::is_live(t));
    EXPECT_FALSE(qz::is_live(given));
}

TEST(Registry, CountsLiveObjectsAndDeletesNewestFirst) {
    size_t before = qz::live_objects();
    Noted* kept = new Noted(0);
    uint64_t mark = qz::next_serial();
    EXPECT_EQ(kept->serial + 1, mark);
    new Noted(1);
    new Noted(2);
    EXPECT_EQ(qz::live_objects(), before + 3);
    gone.clear();
    qz::delete_objects_since(mark);
    EXPECT_EQ(gone, (std::vector<int>{2, 1}));
    EXPECT_EQ(qz::live_objects(), before + 1);
    delete kept;
    EXPECT_EQ(qz::live_objects(), before);
}

} // namespace
