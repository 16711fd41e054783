#include "guikit/Resources.h"

#include <QtGlobal>

static void registerMorvikResources() {
    Q_INIT_RESOURCE(morvik);
}

namespace morvik {

void ensureResources() {
    static const bool registered = [] {
        registerMorvikResources();
        return true;
    }();
    (void)registered;
}

} // namespace morvik
