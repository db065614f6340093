// Drawing text loads the system font configuration, whose caches live until the process ends
// and which the leak checker of the sanitizer build reports; they are not ours to free.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
