//! interactive
//! ulimit: -s 65536
// Runaway recursion in the task of a parallel for is the stack error of the main thread, on
// whichever thread the task runs (the main thread's stack is made larger here, so that without
// a guard the worker's would be the first to run out), and the session goes on. Each call nests its own call in
// parentheses, so that the stack runs out after fewer calls.
_cpu = 2;
macro r[n] { return 0+(0+(0+(0+(0+(0+(0+(0+(0+(0+(0+(0+(0+(0+(0+(0+(%r[n+1])))))))))))))))); };
//!kest omp parallel for
for j = 1 to 8 { x = %r[1]; };
1 + 1;
