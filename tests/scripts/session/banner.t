//! banner
//! env: LOGNAME=astro
// The welcome banner names the user from LOGNAME, then the help hint.
