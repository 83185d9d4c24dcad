//! stdin
// Statements typed several to a line run one per turn of the loop: one prompt per line.
_info on; _info off; _echo off;

_info on$ _info off$
    
_echo on; _echo off;
