// A room built only for the tests: what a new room writes in its own folder (its record, one
// keyword handler, one option, one identifier class) and nothing outside it.
#include "interp/idcommon.h"
#include "interp/roomapi.h"
#include "interp/treeint.h"
#include "render/render.h"

#include <string>

int g_sample_resets = 0;

namespace {

int s_level;   // slot of the option `_graph`

// The room's value class: `samplething x;` declares x holding one.
class t_samplething final : public t_idcommon {
public:
    explicit t_samplething(const char* name) : t_idcommon(name) {}
    int Vgettypeenum() const override { return IDTYPE_EXTERN; }
    const char* Vgettypename() const override { return "SAMPLE"; }
    t_idcommon* Vcopy() const override { return new t_samplething(getName()); }
    bool Viscopiable() const override { return true; }
    void Vdisplay_resume(t_cctx* ctx, FILE* stream) const override
    {
        fprintf(stream, "%s = sample thing at level %ld\n", getName(), kst_option(ctx, s_level));
    }
};

t_idcommon* create(t_cctx*, const char* name) { return new t_samplething(name); }

// `plotreset;` reports the option as the context running it sees it.
int h_plotreset(t_cctx* ctx, int, treeabs*)
{
    fprintf(g_stdout, "sample level %ld\n", kst_option(ctx, s_level));
    return 0;
}

void registerlanguage()
{
    kst_tree_setkeywordhandler("plotreset", h_plotreset);
    kst_declaretype_builtin("samplething", create);
}

void reset(t_cctx*) { g_sample_resets++; }

const t_roomoption s_options[] = {
    {"_graph", 0, 5, 2, false, &s_level},
    {nullptr, 0, 0, 0, false, nullptr},
};

} // namespace

extern const t_room kst_room_sample = {"sample", nullptr, nullptr, registerlanguage, s_options, reset, nullptr};
