#include "app/LockKeyState.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#if defined(MORVIK_WITH_X11) && QT_CONFIG(xcb)
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#define MORVIK_HAS_XKB 1
#endif

namespace morvik {
namespace {

#ifdef MORVIK_HAS_XKB
std::optional<LockKeys> readFromX11() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    Display* display = x11 != nullptr ? x11->display() : nullptr;
    if (display == nullptr) {
        return std::nullopt;
    }
    const auto indicator = [display](const char* name) {
        Bool on = False;
        const Atom atom = XInternAtom(display, name, True);
        if (atom == None || !XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr)) {
            return false;
        }
        return on == True;
    };
    return LockKeys{indicator("Caps Lock"), indicator("Num Lock"), indicator("Scroll Lock")};
}
#endif

} // namespace

std::optional<LockKeys> readLockKeysFromLeds(const QString& ledsDirectory) {
    const QDir leds(ledsDirectory);
    LockKeys keys;
    bool anyLed = false;
    const auto lit = [&](const QString& entry) {
        QFile brightness(leds.filePath(entry + QStringLiteral("/brightness")));
        if (!brightness.open(QIODevice::ReadOnly)) {
            return false;
        }
        anyLed = true;
        return brightness.read(16).trimmed().toInt() > 0;
    };
    for (const QString& entry : leds.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        if (entry.endsWith(QStringLiteral("::capslock"))) {
            keys.capsLock = lit(entry) || keys.capsLock;
        } else if (entry.endsWith(QStringLiteral("::numlock"))) {
            keys.numLock = lit(entry) || keys.numLock;
        } else if (entry.endsWith(QStringLiteral("::scrolllock"))) {
            keys.scrollLock = lit(entry) || keys.scrollLock;
        }
    }
    if (!anyLed) {
        return std::nullopt;
    }
    return keys;
}

std::optional<LockKeys> readLockKeys() {
#ifdef MORVIK_HAS_XKB
    if (auto keys = readFromX11()) {
        return keys;
    }
#endif
    return readLockKeysFromLeds(QStringLiteral("/sys/class/leds"));
}

} // namespace morvik
