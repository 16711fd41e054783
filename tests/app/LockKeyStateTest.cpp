#include "app/LockKeyState.h"

#include "parameters/SessionHarness.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace morvik {
namespace {

// A directory laid out as the kernel lays out its LEDs.
void led(const std::string& leds, const std::string& name, const std::string& brightness) {
    std::filesystem::create_directories(leds + "/" + name);
    std::ofstream(leds + "/" + name + "/brightness") << brightness << "\n";
}

TEST(LockKeys, ReadFromTheKeyboardLeds) {
    testing::ScratchData scratch;
    const std::string leds = scratch.directory() + "/leds";
    std::filesystem::create_directories(leds);
    EXPECT_FALSE(readLockKeysFromLeds(QString::fromStdString(leds)).has_value());

    led(leds, "input3::capslock", "1");
    led(leds, "input3::numlock", "0");
    led(leds, "input3::scrolllock", "0");
    led(leds, "input7::numlock", "1"); // a second keyboard
    led(leds, "phy0-led", "1");
    EXPECT_EQ(readLockKeysFromLeds(QString::fromStdString(leds)),
              (LockKeys{.capsLock = true, .numLock = true, .scrollLock = false}));
    EXPECT_FALSE(
        readLockKeysFromLeds(QString::fromStdString(scratch.directory() + "/none")).has_value());
}

} // namespace
} // namespace morvik
