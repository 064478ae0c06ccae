#pragma once

#include <cstddef>

/// Figures of this test process read from /proc, to show that a run leaves nothing behind
/// and does not grow without bound. Each is 0 when /proc cannot be read.

/// The resident memory in KiB (VmRSS).
std::size_t ResidentKiB();

/// The threads the process runs right now.
std::size_t LiveThreads();

/// The entries of /proc/self/fd, which include the one open while they are counted.
std::size_t OpenDescriptors();
