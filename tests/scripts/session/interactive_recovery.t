//! interactive
// Several statements on one line run one per turn without a second prompt; an empty line
// prompts again; an error discards the rest of its line and the session goes on.
_info on; stop; _info off; stop;

error("first"); stop; error("second");
_info on; stop;
_language = "xx";
_language = "fr"; error("en francais"); 
include "nothere.t";
_language = "en"; include "nothere.t";
