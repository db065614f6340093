#pragma once

// The crash host's allocator: the C library's, behind one lock of its own, counting what the
// armed thread allocates. A crash test arms the thread that is about to crash and makes another
// thread hold the lock: a crash handler that allocates then shows up in the count, and would
// wait for the lock for good.

namespace crashhost {

// Whether this build has the counting allocator (a sanitizer brings an allocator of its own).
bool countingAllocatorInstalled();
// From now on each allocation by the calling thread writes one byte to `countFD`.
void armAllocationCount(int countFD);
// Takes the allocator's lock and keeps it until the process ends; returns once it is held.
void holdAllocatorLockOnAnotherThread();

}  // namespace crashhost
