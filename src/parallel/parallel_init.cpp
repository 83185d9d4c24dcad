// Scheduler start-up for the kernel: threads, `_cpu`, OMP_THREAD_LIMIT and the main thread.
#include "parallel/parallel_init.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <string>

#include "parallel/zoduv.h"

namespace {
std::mutex s_initmutex;
bool s_initdone = false;
std::atomic<int> s_gcpu{1};
pthread_t s_master{};
std::atomic<bool> s_masterset{false};
} // namespace

void kst_cleanidle(int) {}

void kst_threadinit()
{
    s_master = pthread_self();
    s_masterset.store(true, std::memory_order_release);
}

bool kst_threadismaster()
{
    return !s_masterset.load(std::memory_order_acquire) || pthread_equal(s_master, pthread_self());
}

void kst_parallel_init(const char* kestdir)
{
    std::lock_guard<std::mutex> lock(s_initmutex);
    if (s_initdone) return;
    std::string dir = kestdir ? kestdir : "";
    if (!dir.empty() && dir.back() != '/') dir += '/';
    const std::string numacfg = dir + "etc/numa.cfg";
    ZODUV_init(dir.c_str(), numacfg.c_str());
    kst_threadinit();
    const int n = ZODUV_getmaxavailablecpu();
    s_gcpu.store(n, std::memory_order_relaxed);
    char text[32];
    snprintf(text, sizeof text, "%d", n);
    setenv("OMP_THREAD_LIMIT", text, 1);
    ZODUV_setidlefunc(&kst_cleanidle);
    s_initdone = true;
}

int kst_parallel_cpucount() { return ZODUV_getmaxavailablecpu(); }

bool kst_parallel_setcpu(int n)
{
    if (n < 1 || n > kst_parallel_cpucount()) return false;
    s_gcpu.store(n, std::memory_order_relaxed);
    ZODUV_setavailablecpu(n);
    return true;
}

void kst_parallel_exit() { ZODUV_finalize(); }

int kst_get_gcpu() { return s_gcpu.load(std::memory_order_relaxed); }
