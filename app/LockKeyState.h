#pragma once

#include <QString>
#include <optional>

namespace morvik {

struct LockKeys {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
    friend bool operator==(const LockKeys&, const LockKeys&) = default;
};

// The lock keys as the display knows them. On an X11 display the X keyboard extension's named
// indicators are asked (they follow every keyboard of that display, remote ones included);
// elsewhere the kernel's keyboard LEDs under /sys/class/leds are read. Nothing when neither
// source answers, as under the offscreen platform.
std::optional<LockKeys> readLockKeys();

// The kernel's keyboard LEDs under `ledsDirectory` (normally /sys/class/leds): a lock counts
// as on when any LED of its kind is lit. Nothing when there is no keyboard LED at all.
std::optional<LockKeys> readLockKeysFromLeds(const QString& ledsDirectory);

} // namespace morvik
