#pragma once

namespace morvik {

// Registers the program's compiled-in images once. The images live in a static library, whose
// resource data the linker keeps only when something refers to it: every user calls this.
void ensureResources();

} // namespace morvik
