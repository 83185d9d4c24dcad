//! interactive
// A file that cannot be found is error 6; the session goes on.
include "nothere.t";
_info on;
stop;
