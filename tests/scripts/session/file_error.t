// An error inside a script file: the line, the excerpt with carets and the file context line;
// the statements after it in the file do not run.
_info on;
  error("inside the file");
error("never shown");
