// Leaks that the leak checker of the sanitizer builds must not blame on us: fontconfig keeps a few
// bytes of its configuration parsing unreachable for the life of the process (its own, once).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
