//! stdin
// A statement left open over several lines shows what is open before the prompt: "/*"
// per open comment, "{" per open block, a double quote inside a string.
_info on /* a comment
/* nested
*/ still open
*/ ;
if (1 == 1) then {
  _info on;
  if (2 == 2) then {
    error("two
lines");
  };
}
;
