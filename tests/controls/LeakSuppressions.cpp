// Fontconfig keeps a cache for the life of the process, which the leak checker of the
// sanitizer build would report as a leak of every GUI test program.
extern "C" const char* __lsan_default_suppressions();

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
