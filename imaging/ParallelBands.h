// Shares the rows (or other items) of one piece of image work out among a fixed set of worker threads and the
// calling thread. The workers are made at the first call and joined when the module is unloaded; a machine with
// one core, or a second caller while a job is running, does the work on the calling thread alone.
#pragma once

#include <functional>

// The number of threads that may run bands of one job at the same time (the workers and the caller), at least 1.
int ParallelSlots();

// Calls work(begin, end, slot) over [0, count) cut into consecutive bands of at least minBand items, and returns
// when every band is done. Bands that run at the same time have different slots, each below ParallelSlots(), so
// per-slot scratch needs no lock. The work must not throw.
void ParallelBands(int count, int minBand, const std::function<void(int begin, int end, int slot)>& work);
