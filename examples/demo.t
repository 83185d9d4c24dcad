// A first session with KEST: settings, messages and error recovery.
// (The demonstration grows with the language: series, numbers, arrays and integrations.)
_language = "en";
_info on;
stop;
_info off;
