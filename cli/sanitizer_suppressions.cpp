// The image library is not built with the thread sanitizer: its worker pool
// hands data over through atomics the sanitizer cannot see, which it reports
// as races inside the library. Read by the sanitizer at start-up; unused in
// other builds.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libOpenImageIO_Util.so\n"
           "race:libOpenImageIO.so\n";
}
