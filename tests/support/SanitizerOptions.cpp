// Built into sanitized test programs only. This toolchain's LeakSanitizer
// misreads the dynamic thread-local blocks of libraries loaded with dlopen
// (the log relay's spdlog) on glibc 2.36 and crashes at exit, depending on
// where things land in memory. Those thread-locals hold no heap pointers, so
// their blocks need not be tracked; variables in ASAN_OPTIONS still apply.
extern "C" __attribute__((visibility("default"), used)) const char *__asan_default_options() {
    return "intercept_tls_get_addr=0";
}
