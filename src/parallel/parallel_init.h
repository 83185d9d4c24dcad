// Start-up and settings of the scheduler as the kernel sees them: worker threads, the processor
// count, the `_cpu` setting and the main thread's identity.
#pragma once

void kst_parallel_init(const char* kestdir);  // scheduler from kestdir + "etc/numa.cfg", threads
int kst_parallel_cpucount();                  // processors available (g_cpu)
bool kst_parallel_setcpu(int n);              // the `_cpu` setting; false when out of range
void kst_parallel_exit();                     // finalisation at process exit

// Number of threads that parallel loops use (the `_cpu` setting).
int kst_get_gcpu();
// The main thread: recorded at start, asked by code that must run there only.
void kst_threadinit();
bool kst_threadismaster();
// The idle function installed in the scheduler; nothing to clean between tasks yet.
void kst_cleanidle(int index);
