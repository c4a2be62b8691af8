#include "device/mci/device_layer.h"

#include <gtest/gtest.h>

#include "device/mci/mci_errors.h"
#include "support/device_fixture.h"

namespace sonarch {
namespace {

using testing::DeviceFixture;

struct LayerFixture : DeviceFixture {
    LayerFixture() : DeviceFixture({}) {}
    MessageRecorder messages;
    DeviceError error;
    DeviceLayer layer{device, messages, error};
};

TEST(DeviceCommand, HiddenErrorsLeaveOnlyTheCode) {
    LayerFixture f;
    f.openAsPlayer();
    EXPECT_FALSE(f.layer.DeviceCommand("play cd", false));
    EXPECT_EQ(f.error.errorCode, mci::kDeviceNotReady);
    EXPECT_TRUE(f.error.errorText.empty());
    EXPECT_TRUE(f.messages.shown().empty());
}

TEST(DeviceCommand, ShownErrorsShowTheDeviceTextOnce) {
    LayerFixture f;
    f.openAsPlayer();
    EXPECT_FALSE(f.layer.DeviceCommand("seek cd to 1", true));
    ASSERT_EQ(f.messages.shown().size(), 1u);
    EXPECT_EQ(f.messages.shown()[0], mci::errorText(mci::kDeviceNotReady));
    EXPECT_EQ(f.error.errorText, f.messages.shown()[0]);
    EXPECT_TRUE(f.layer.DeviceCommand("set cd time format tmsf", true));
    EXPECT_EQ(f.error.errorCode, 0);
    EXPECT_EQ(f.messages.shown().size(), 1u);
}

TEST(DeviceQuery, AFailedQueryLeavesTheBufferAsItWas) {
    LayerFixture f;
    f.openAsPlayer();
    ReplyBuffer buffer(30);
    EXPECT_EQ(f.layer.DeviceQuery("status cd mode", buffer), 0);
    EXPECT_EQ(buffer.text(), "not ready");
    EXPECT_NE(f.layer.DeviceQuery("status cd position", buffer), 0);
    EXPECT_EQ(buffer.piece(1, 9), "not ready");
    f.layer.DeviceQuery("status cd media present", buffer);
    // The shorter reply is written over the start; the old tail stays behind its NUL.
    EXPECT_EQ(buffer.piece(1, 4), "fals");
    EXPECT_EQ(buffer.piece(6, 1), std::string(1, '\0'));
    EXPECT_EQ(buffer.piece(7, 3), "ady");
}

TEST(ReplyBuffer, NumbersAreReadByPositionAndStopAtTheNul) {
    ReplyBuffer buffer(30);
    EXPECT_FALSE(buffer.number(1, 2).has_value()) << "an untouched buffer holds no number";
    buffer.write("12");
    EXPECT_EQ(buffer.number(1, 2), 12);
    buffer.write("5");
    EXPECT_EQ(buffer.number(1, 2), 5) << "reading stops at the NUL after 5";
    buffer.write("03:04:05:06");
    EXPECT_EQ(buffer.number(1, 2), 3);
    EXPECT_EQ(buffer.number(4, 2), 4);
    EXPECT_EQ(buffer.number(7, 2), 5);
    buffer.write("true");
    EXPECT_FALSE(buffer.number(1, 2).has_value());
    EXPECT_EQ(buffer.piece(40, 2), "");
    ReplyBuffer tiny(3);
    tiny.write("12345");
    EXPECT_EQ(tiny.text(), "12");
}

}  // namespace
}  // namespace sonarch
