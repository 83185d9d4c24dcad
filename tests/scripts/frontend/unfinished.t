// An if statement without its final terminator is a syntax error at the end of a file.
if (1 == 1) then {
  _info on;
} else {
  _info off;
}
