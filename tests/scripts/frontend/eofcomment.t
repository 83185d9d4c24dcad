// A file that ends inside a block comment is reported as such and runs nothing.
error("not run");
/* opened /* nested */
never closed
