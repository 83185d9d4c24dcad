//! stdin
// A syntax error shows the line with carets under the offending token; the rest of
// the line and the input typed ahead are thrown away, and the next prompt is plain.
if (1 == 1) then {
  _info on; x = f(a)[2]; error("rest of the line");
  error("typed ahead");
