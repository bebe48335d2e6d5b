// Logs each function the main thread enters as "depth module offset", for
// bench/option-walk.sh. Preloaded into a program built with
// -finstrument-functions; other threads are left out so the log is the same
// run after run.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

static FILE* walkLog;
static int depth;

static int OnMainThread(void) { return syscall(SYS_gettid) == getpid(); }

__attribute__((no_instrument_function)) void __cyg_profile_func_enter(void* function, void* caller) {
    (void)caller;
    if (!OnMainThread()) return;
    ++depth;
    if (!walkLog) {
        const char* path = getenv("TAVIRON_WALK_LOG");
        walkLog = fopen(path ? path : "walk.log", "w");
        if (!walkLog) return;
    }
    Dl_info info;
    if (dladdr(function, &info) && info.dli_fname)
        fprintf(walkLog, "%d %s %#lx\n", depth, info.dli_fname,
                (unsigned long)((char*)function - (char*)info.dli_fbase));
}

__attribute__((no_instrument_function)) void __cyg_profile_func_exit(void* function, void* caller) {
    (void)function;
    (void)caller;
    if (OnMainThread()) --depth;
}
