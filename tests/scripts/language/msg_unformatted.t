//! interactive
// msg "text" prints the text as written, then a line feed; with parentheses or arguments the
// text is a format and prints no line feed of its own.
msg "first";
msg "100% as written, \n too";
msg("no line feed");
msg "after";
msg "%d things", 3;
msg "";
msg "end";
