// Start-up and reset of the coefficient room, called by the session (and by the unit tests).
#pragma once

void kst_coef_inittables();   // fills g_kst_coef_vtable and the constants (idempotent)
void modenum_init();          // gc_1 per mode etc.
void kst_coef_reset();        // what a session reset needs
