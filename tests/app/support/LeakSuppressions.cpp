// Qt's font database keeps fontconfig's configuration for the life of the process (the test
// application is never destroyed), so every test that lays out text leaves fontconfig's
// allocations behind. The leak checker of sanitizer builds ignores those, and only those.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
