//! interactive
// Each statement typed at the prompt counts its lines from 1: comment lines, blank lines and
// the statements typed before it do not shift the line of an error.
_info off;
error("after the comment lines");
// a comment on its own line

error("after a comment and a blank line");
x = 1; y = 2;
  error("after statements, indented");
if (x == 1) then {
  y = 3;
  error("on the second line of the block");
};
x = 1;    z = ;
y;
