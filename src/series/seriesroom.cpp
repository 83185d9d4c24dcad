// The series room's record. Its first setting is the representation mode of series (`_mode`),
// which every task context carries with the rest of the kernel context.
#include "interp/roomapi.h"
#include "series/seriesroom.h"

#include <climits>

int g_kst_opt_seriesmode;

namespace {
const t_roomoption s_options[] = {
    {"_mode", LONG_MIN, LONG_MAX, 0, false, &g_kst_opt_seriesmode},
    {nullptr, 0, 0, 0, false, nullptr},
};
} // namespace

extern const t_room kst_room_series = {"series", nullptr, nullptr, nullptr, s_options, nullptr, nullptr};
