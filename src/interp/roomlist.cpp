// The list of rooms, in the order the session starts them: numbers first, then the language that
// every later room registers into, then the rooms built on both. A new room is one more line.
#include "interp/rooms.h"

#define KST_ROOMS(X)                                                                               \
    X(coef)     /* number types, their tables and numeric modes */                                 \
    X(lang)     /* statement tables, identifier classes, run stack */                              \
    X(series)   /* variables, series, truncation */                                                \
    X(numeric)  /* numeric vectors and arrays */

#define KST_ROOM_DECLARE(name) extern const t_room kst_room_##name;
#define KST_ROOM_ADDRESS(name) &kst_room_##name,
KST_ROOMS(KST_ROOM_DECLARE)

const t_room* const* kst_builtinrooms()
{
    static const t_room* const rooms[] = {KST_ROOMS(KST_ROOM_ADDRESS) nullptr};
    return rooms;
}
