// Shared set-up of the scheduler tests: four workers (more than the cores of a small machine, so
// that stealing and oversubscription are exercised everywhere), `_cpu` back to all of them.
#pragma once
#include <thread>

#include "parallel/parallel_init.h"
#include "parallel/zoduv.h"

constexpr int k_testthreads = 4;

inline void parallel_test_setup()
{
    ZODUV_init(KEST_BUILD_DIR "/", KEST_BUILD_DIR "/etc/numa.cfg", k_testthreads);
    kst_parallel_init(KEST_BUILD_DIR "/");
    kst_parallel_setcpu(kst_parallel_cpucount());
}

// Restores `_cpu` when a test that changed it ends.
struct t_cpusetting_restore {
    ~t_cpusetting_restore() { kst_parallel_setcpu(kst_parallel_cpucount()); }
};
