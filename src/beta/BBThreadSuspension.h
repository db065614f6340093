#pragma once

// Stops every other thread of the process while a crash handler writes its file, so that nothing
// changes the library's files under it, and lets them go on afterwards. Safe inside a signal
// handler: the threads are listed with a stack buffer and parked by a signal of their own.

namespace bb {

// Suspends every thread but the calling one and waits (a bounded time) until they are parked.
// When the threads cannot be listed, or another thread holds them suspended already, none are
// touched. Returns 0.
int bb_suspend_other_threads();
// Lets the threads suspended by this thread's last call go on. Returns 0.
int bb_resume_other_threads();

// Runs on each thread being suspended, inside its signal handler and before it counts as parked,
// with the thread's machine context: lets the crash path learn where the thread stood. It must be
// safe inside a signal handler. None by default.
using BBParkedThreadRecorder = void (*)(const void* machineContext);
void bb_set_parked_thread_recorder(BBParkedThreadRecorder recorder);

}  // namespace bb
