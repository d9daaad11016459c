#include "QZ_Apptpl.h"
#include "QZ_Chain.h"
#include "QZ_Interpret.h"
#include "QZ_Object.h"

#include <gtest/gtest.h>

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

} // namespace

namespace {

// Two objects that note the order in which they go.
std::vector<int> gone;
struct Noted : QZ_Object {
    int id;
    explicit Noted(int i) : id(i) {}
    ~Noted() override { gone.push_back(id); }
};

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
