// Runs the scanner and the parser over one input the way the session does, for the fuzz target
// and its corpus replay.
#pragma once
#include <cstddef>
#include <cstdint>

// The first byte selects the mode: even, the rest is one whole text (a file); odd, the rest is
// typed line by line at the interactive prompt, one statement parsed per turn.
void frontend_drive(const uint8_t* data, size_t size);
