//! interactive
//! ulimit: -s 2048
// Runaway recursion ends as an error (19) before the stack runs out; the context chain stops
// after 20 lines; the session goes on.
macro f[n] { return %f[n+1]; };
%f[1];
msg("still here\n");
