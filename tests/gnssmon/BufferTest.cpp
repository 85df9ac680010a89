#include "gnssmon/Buffer.h"

#include <gtest/gtest.h>

TEST(BufferTest, FourByteRingTakesFourDropsTheFifthAndGivesThemBackInOrder) {
    unsigned char storage[4] = {};
    _BUFFER ring;
    BufferInit(&ring, storage, 4);
    EXPECT_TRUE(BufferIsEmpty(&ring));
    for (unsigned char b : {'a', 'b', 'c', 'd'}) BufferPutByte(&ring, b);
    EXPECT_TRUE(BufferIsFull(&ring));
    EXPECT_EQ(BufferFreeSpace(&ring), 0);
    BufferPutByte(&ring, 'e');  // full: dropped
    EXPECT_EQ(ring.iCount, 4);
    for (unsigned char b : {'a', 'b', 'c', 'd'}) EXPECT_EQ(BufferGetByte(&ring), b);
    EXPECT_TRUE(BufferIsEmpty(&ring));
    EXPECT_EQ(BufferFreeSpace(&ring), 4);
}

TEST(BufferTest, IndexesWrapAroundTheStorageAndKeepTheOrder) {
    unsigned char storage[3] = {};
    _BUFFER ring;
    BufferInit(&ring, storage, 3);
    int next = 0, expected = 0;
    // Interleave puts and gets so that head and tail cross the end many times.
    for (int round = 0; round < 20; ++round) {
        BufferPutByte(&ring, static_cast<unsigned char>(next++));
        BufferPutByte(&ring, static_cast<unsigned char>(next++));
        EXPECT_LE(ring.iCount, ring.iSize);
        EXPECT_GE(ring.iHead, 0);
        EXPECT_LT(ring.iHead, 3);
        EXPECT_EQ(BufferGetByte(&ring), static_cast<unsigned char>(expected++));
        EXPECT_EQ(BufferGetByte(&ring), static_cast<unsigned char>(expected++));
        EXPECT_TRUE(BufferIsEmpty(&ring));
    }
}

TEST(BufferTest, GettingFromAnEmptyRingMovesNothing) {
    unsigned char storage[2] = {'x', 'y'};
    _BUFFER ring;
    BufferInit(&ring, storage, 2);
    EXPECT_EQ(BufferGetByte(&ring), 'x');  // whatever the storage holds at the tail
    EXPECT_EQ(ring.iTail, 0);
    EXPECT_EQ(ring.iCount, 0);
    BufferPutByte(&ring, 'q');
    EXPECT_EQ(BufferGetByte(&ring), 'q');
}

TEST(BufferTest, ClearEmptiesWithoutTouchingTheStorage) {
    unsigned char storage[4] = {};
    _BUFFER ring;
    BufferInit(&ring, storage, 4);
    BufferPutByte(&ring, 'a');
    BufferPutByte(&ring, 'b');
    BufferGetByte(&ring);
    BufferClear(&ring);
    EXPECT_TRUE(BufferIsEmpty(&ring));
    EXPECT_EQ(ring.iHead, 0);
    EXPECT_EQ(ring.iTail, 0);
    EXPECT_EQ(storage[1], 'b');
}

TEST(BufferTest, RingWithoutStorageIsFullAndEmptyAndNeverWrites) {
    _BUFFER ring;
    BufferInit(&ring, nullptr, 8);
    EXPECT_EQ(ring.iSize, 0);
    EXPECT_TRUE(BufferIsEmpty(&ring));
    EXPECT_TRUE(BufferIsFull(&ring));
    BufferPutByte(&ring, 'a');
    EXPECT_EQ(BufferGetByte(&ring), 0);
    EXPECT_EQ(ring.iCount, 0);
}
