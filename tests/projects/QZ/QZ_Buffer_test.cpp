#include "QZ_Buffer.h"
#include "QZ_Interpret.h"
#include "QZ_Soundpipe.h"
#include "QZ_TestSupport.h"

#include <gtest/gtest.h>

using qz::test::cmd;

namespace {

int32_t query_l(QZ_Buffer* b) {
    int32_t l = -99;
    EXPECT_EQ(QZ_command(cmd("%o -l"), b, &l), QZ_OK);
    return l;
}

class Buffer : public testing::Test {
protected:
    void TearDown() override { ASSERT_EQ(QZ_Soundpipe::current, nullptr); }
};

TEST_F(Buffer, WithoutSoundpipeHasNoStorage) {
    QZ_Buffer* b = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer"), &b), QZ_OK);
    EXPECT_EQ(b->requested, 0);
    EXPECT_EQ(b->data, nullptr);
    EXPECT_EQ(query_l(b), 0);
    EXPECT_EQ(b->item.chain, nullptr);
    QZ_command(cmd("%o -delete"), b);
}

TEST_F(Buffer, FollowsTheSoundpipeBlockLengthWithoutReallocating) {
    QZ_Soundpipe* s = nullptr;
    QZ_Buffer* b = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe -bl 512"), &s), QZ_OK);
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer"), &b), QZ_OK);
    EXPECT_EQ(b->allocated, 512);
    EXPECT_EQ(b->copy, b->data + 512);
    EXPECT_EQ(b->soundpipe, s);
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(b->data[i], 0);
    EXPECT_EQ(s->buffers.count, 1);
    ASSERT_EQ(QZ_command(cmd("%o -bl 100"), s), QZ_OK);
    EXPECT_EQ(query_l(b), 100);
    EXPECT_EQ(b->allocated, 512);
    EXPECT_EQ(b->usable(), 100);
    // raising the block length beyond the storage never lets a pass past it
    ASSERT_EQ(QZ_command(cmd("%o -bl 4000"), s), QZ_OK);
    EXPECT_EQ(query_l(b), 4000);
    EXPECT_EQ(b->usable(), 512);

    ASSERT_EQ(QZ_command(cmd("%o -l 64"), b), QZ_OK);
    EXPECT_EQ(query_l(b), 64);
    EXPECT_EQ(b->allocated, 64);
    EXPECT_EQ(b->soundpipe, nullptr);
    EXPECT_EQ(b->item.chain, &s->buffers); // still listed by the soundpipe

    ASSERT_EQ(QZ_command(cmd("QZ_Effect %o -delete"), b), QZ_OK);
    EXPECT_EQ(s->buffers.count, 0);
    QZ_command(cmd("%o -e % -delete"), s);
}

TEST_F(Buffer, LimitTitleAndRing) {
    QZ_Buffer* b = nullptr;
    int32_t limit = 0;
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer -limit"), &b, &limit), QZ_OK);
    EXPECT_EQ(limit, 1073741823);
    ASSERT_EQ(QZ_command(cmd("%o -limit 2.9 -limit"), b, &limit), QZ_OK);
    EXPECT_EQ(limit, 2);
    ASSERT_EQ(QZ_command(cmd("%o -limit -2.9 -limit"), b, &limit), QZ_OK);
    EXPECT_EQ(limit, -2);
    static const char name[] = "buf_ao";
    const char* title = nullptr;
    ASSERT_EQ(QZ_command(cmd("%o -t %o -t"), b, name, &title), QZ_OK);
    EXPECT_EQ(title, name);
    b->ring = -13;
    ASSERT_EQ(QZ_command(cmd("%o -l 5"), b), QZ_OK);
    EXPECT_EQ(b->ring, -3);
    QZ_command(cmd("QZ_Object %o -delete"), b);
}

TEST_F(Buffer, NegativeLengthsGiveNoStorage) {
    QZ_Buffer* b = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer -l -5"), &b), QZ_OK);
    EXPECT_EQ(b->data, nullptr);
    EXPECT_EQ(b->usable(), 0);
    QZ_Soundpipe* s = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe -bl -7"), &s), QZ_OK);
    ASSERT_EQ(QZ_command(cmd("%o -l -1"), b), QZ_OK);
    EXPECT_EQ(b->data, nullptr);
    EXPECT_EQ(query_l(b), 0);
    QZ_command(cmd("%o -delete"), b);
    QZ_command(cmd("%o -e % -delete"), s);
}

// A buffer that follows a soundpipe is in its chain, however it came to
// follow it: deleting the soundpipe then fixes its length instead of leaving
// it reading a freed soundpipe.
TEST_F(Buffer, FollowingASoundpipeListsTheBufferThere) {
    QZ_Buffer* b = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer"), &b), QZ_OK); // no soundpipe yet
    QZ_Soundpipe* s = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Soundpipe -bl 32"), &s), QZ_OK);
    ASSERT_EQ(QZ_command(cmd("%o -l -1"), b), QZ_OK);
    EXPECT_EQ(b->soundpipe, s);
    EXPECT_EQ(b->item.chain, &s->buffers);
    QZ_Buffer* like = nullptr;
    ASSERT_EQ(QZ_command(cmd("%o -e %"), s), QZ_OK);
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer"), &like), QZ_OK);
    like->setLengthOf(*b); // no soundpipe current: still b's
    EXPECT_EQ(like->soundpipe, s);
    EXPECT_EQ(like->allocated, 32);
    EXPECT_EQ(s->buffers.count, 2);
    ASSERT_EQ(QZ_command(cmd("%o -delete"), s), QZ_OK);
    EXPECT_EQ(b->soundpipe, nullptr);
    EXPECT_EQ(b->length(), 32);
    EXPECT_EQ(like->length(), 32);
    QZ_command(cmd("%o -delete"), like);
    QZ_command(cmd("%o -delete"), b);
}

TEST_F(Buffer, ClearEmptiesOnlyTheContents) {
    QZ_Buffer* b = nullptr;
    ASSERT_EQ(QZ_command(cmd("QZ_Buffer -l 4"), &b), QZ_OK);
    for (int i = 0; i < 8; ++i)
        b->data[i] = i + 1;
    b->clear();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(b->data[i], 0);
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(b->data[i], i + 1);
    QZ_command(cmd("%o -delete"), b);
}

} // namespace
