#include "common/DeviceCommInterface.h"

#include <gtest/gtest.h>

#include <string>

using namespace Veltrio::Common;

namespace {
struct RecordingDevice : DeviceCommInterface {
    std::string written;
    int writes = 0;
    using DeviceCommInterface::dataOut;
    void dataIn() override {}
    void dataOut(const char* data, unsigned int length) override {
        ++writes;
        written.append(data, length);
    }
};
} // namespace

TEST(DeviceCommInterfaceTest, PeekCopiesAndZeroesTheRestWithoutConsuming) {
    RecordingDevice d;
    d.injectData("ABC", 3);
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(d.peekData(buffer, 8), 3u);
    EXPECT_EQ(std::string(buffer, 3), "ABC");
    for (int i = 3; i < 8; ++i) EXPECT_EQ(buffer[i], 0);
    EXPECT_EQ(d.getDataLength(), 3u);
}

TEST(DeviceCommInterfaceTest, GetConsumesFromTheFront) {
    RecordingDevice d;
    d.injectData(CharVector("ABC"));
    char buffer[2];
    EXPECT_EQ(d.getData(buffer, 2), 2u);
    EXPECT_EQ(std::string(buffer, 2), "AB");
    EXPECT_EQ(d.getDataVector().str(), "C");
    d.removeData();
    buffer[0] = 'x';
    EXPECT_EQ(d.getData(buffer, 2), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(d.getDataLength(), 0u);
}

TEST(DeviceCommInterfaceTest, RemoveRangeAndInjectOrder) {
    RecordingDevice d;
    d.injectData("AB", 2);
    d.injectData("", 0);
    d.injectData(CharVector("CD"));
    d.removeData(2, 2);
    EXPECT_EQ(d.getDataVector().str(), "ABCD");
    d.removeData(1, 3);
    EXPECT_EQ(d.getDataVector().str(), "AD");
    d.removeData(1, 99);  // clamped to the queue
    EXPECT_EQ(d.getDataVector().str(), "A");
}

TEST(DeviceCommInterfaceTest, VectorOverloadHandsAllBytesToTheDevice) {
    RecordingDevice d;
    d.dataOut(CharVector(std::string("S\0L", 3)));
    d.dataOut(CharVector());
    EXPECT_EQ(d.writes, 2);
    EXPECT_EQ(d.written, std::string("S\0L", 3));
}
