//! setup: echo 'error("from kest.ini");' > kest.ini
//! setup: printf '_info on;\nstop;\n' > home/.kest
// The start-up files of the home directory and of the current directory run at start; an error in
// one of them does not stop the session.
_info on;
stop;
