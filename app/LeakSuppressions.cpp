// Drawing and measuring text loads the system font configuration, whose caches live until the
// process ends and which the leak checker of the sanitizer build reports; they are not ours to
// free. The table of suppressions used is left unprinted, so a quiet run stays quiet.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
