// The session's passes over the list of rooms (start-up, reset, shutdown) and the options the
// rooms declare. Private to interp: rooms see interp/roomapi.h.
#pragma once
#include "interp/roomapi.h"

// The rooms built into the kernel, in start-up order, ended by null (roomlist.cpp).
const t_room* const* kst_builtinrooms();

// Start-up: every room's tables, then the installation of room cells over the filled defaults,
// then the options (given their initial values in the session's context), then the language.
void kst_rooms_init(t_cctx* session);
// Reset: every room's reset, then every option back to its initial value.
void kst_rooms_reset(t_cctx* ctx);
void kst_rooms_release();
// The initial value of every declared option (a new context, a reset).
void kst_rooms_initialoptions(t_kctx* kc);
