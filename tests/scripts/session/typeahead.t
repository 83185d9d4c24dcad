//! stdin
// Input typed ahead is thrown away after an error: only the first error is reported.
error("first");
error("typed ahead, never run");
