//! env: KESTDIR=/nonexistent/kest
// A missing message catalogue stops the start-up with the bilingual report and status 1.
