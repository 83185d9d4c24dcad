// Runs one fuzz input through the numeric file readers: the bytes become a file that the text
// reader reads into a real and a complex vector, then the binary reader and the text reader with
// a read format, the formats chosen by the first byte, then the data and solution readers of
// frequency analysis (and the analysis of what they read when it is short). Errors are
// expected; crashes, sanitizer reports and leaks are not.
#include "../frontend/drive.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/kest.h"
#include "numeric/naf.h"
#include "numeric/vecnum.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string s_path;

void startonce()
{
    if (!s_path.empty()) return;
    setenv("KESTDIR", KEST_BUILD_DIR, 1);
    setenv("LANG", "en", 1);
    kst_findkestdir("kest");
    FILE* null = fopen("/dev/null", "w");
    FILE* saved = stdout;
    stdout = null;
    kest_init(1, 0);
    stdout = saved;
    g_stdout = g_stdwarn = g_stderr = null;
    const char* tmp = getenv("TMPDIR");
    s_path = std::string(tmp ? tmp : "/tmp") + "/kest-fuzz-readers." + std::to_string(getpid());
}
} // namespace

void frontend_drive(const uint8_t* data, size_t size)
{
    startonce();
    t_cctx* ctx = t_cctx::getLocalCctx();
    FILE* f = fopen(s_path.c_str(), "wb");
    if (!f) return;
    if (size > 1) fwrite(data + 1, 1, size - 1, f);
    fclose(f);
    static const char* const formats[] = {"%e%4d", "%2u%hg", "%8d%g%u", "%4g", "%e%e%e", "%d%2d%8u"};
    const char* format = formats[(size ? data[0] : 0) % 6];
    const tabnum_borne ranges[] = {{1, -1, 1}, {2, 5, 2}, {1, 3, 1}};
    const tabnum_borne range = ranges[(size ? data[0] / 6 : 0) % 3];
    bool append = size && (data[0] & 0x80);

    t_vecnum* re = vecnum_createreal(ctx, "re", 0);
    t_vecnum* z = vecnum_createcplx(ctx, "z", 2);
    Erreur_Execution = 0;
    filenum_read(ctx, s_path.c_str(), range, {{re, 1}, {z, 2, 3}}, append);
    Erreur_Execution = 0;
    t_vecnum* a = vecnum_createreal(ctx, "a", 1);
    t_vecnum* b = vecnum_createreal(ctx, "b", 0);
    filenumbin_read(ctx, s_path.c_str(), range, {{a, 1}, {b, 2}}, format, append);
    Erreur_Execution = 0;
    static const char* const readformats[] = {"x=%g; y=%lf %*s %e", "%g,%g,%g", "%*e %s %le%% %g %g", "  %i:%d  %G"};
    filenum_readfmt(ctx, nullptr, s_path.c_str(), range, {{a, 1}, {z, 2, 3}}, readformats[(size ? data[0] : 0) % 4],
                    append);
    Erreur_Execution = 0;
    for (t_vecnum* v : {re, z, a, b}) v->Vdelete();
    std::vector<double> xr, xi, freq;
    std::vector<t_nafcplx> amp;
    double t0 = 0, h = 0;
    t_nafsettings set;
    const uint8_t sel = size ? data[0] : 0;
    set.icplx = sel & 1;
    if (naf_readdata(ctx, s_path.c_str(), sel % 3, set.icplx, &xr, &xi, &t0, &h) && xr.size() < 5000)
        naf_process_samples(ctx, set, nullptr, 3, xr.data(), xi.data(), static_cast<long>(xr.size()), t0, h, {}, "re",
                            "im", &freq, &amp);
    Erreur_Execution = 0;
    naf_loadsol(ctx, s_path.c_str(), &freq, &amp);
    Erreur_Execution = 0;
    unlink(s_path.c_str());
}
