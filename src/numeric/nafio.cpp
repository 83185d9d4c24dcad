// Files of frequency analysis: the data files it reads and the solutions and parameters it
// writes (layouts in naf.h).
#include "numeric/naf.h"

#include "interp/error.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct t_fileclose {
    void operator()(FILE* f) const
    {
        if (f) fclose(f);
    }
};
using fileptr = std::unique_ptr<FILE, t_fileclose>;

// The numbers of a line (at most `max`), or -1 when something else is on it.
int numbersof(const char* line, double* out, int max)
{
    int n = 0;
    const char* p = line;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') p++;
        if (!*p) return n;
        char* end = nullptr;
        const double x = strtod(p, &end);
        if (end == p || n == max) return -1;
        out[n++] = x;
        p = end;
    }
}

bool readline(FILE* f, std::string* line)
{
    line->clear();
    int c;
    while ((c = fgetc(f)) != EOF) {
        if (c == '\n') return true;
        line->push_back(static_cast<char>(c));
    }
    return !line->empty();
}

} // namespace

bool naf_saveparameter(FILE* f, const t_nafstate* st)
{
    fprintf(f, "# naf parameters\n");
    const struct { const char* name; long v; } ints[] = {
        {"ktabs", st->ktabs}, {"nterm", st->nterm}, {"nfs", st->nfs}, {"icplx", st->set.icplx},
        {"iw", st->set.iw}, {"isec", st->set.isec}, {"nulin", st->set.nulin}, {"tp", st->set.tp},
        {"iprt", st->set.iprt},
    };
    for (const auto& e : ints) fprintf(f, "# %-6s = %ld\n", e.name, e.v);
    const struct { const char* name; double v; } reals[] = {
        {"xh", st->xh}, {"t0", st->t0}, {"dtour", st->set.dtour}, {"tol", st->set.tol}, {"frefon", st->frefon},
    };
    for (const auto& e : reals) fprintf(f, "# %-6s = %+.17E\n", e.name, e.v);
    return !ferror(f);
}

bool naf_savesol(t_cctx* ctx, const char* filename, const t_nafstate* st, const std::vector<double>& freq,
                 const std::vector<t_nafcplx>& amp)
{
    fileptr f(fopen(filename, "w"));
    bool ok = f && naf_saveparameter(f.get(), st);
    for (size_t i = 0; ok && i < freq.size(); i++)
        ok = fprintf(f.get(), "%d %+.17E %+.17E %+.17E %+.17E\n", static_cast<int>(i + 1), freq[i], std::abs(amp[i]),
                     amp[i].real(), amp[i].imag()) > 0;
    if (f) ok = fclose(f.release()) == 0 && ok;
    if (!ok) kst_runerror(ctx, 290, filename);
    return ok;
}

bool naf_loadsol(t_cctx* ctx, const char* filename, std::vector<double>* freq, std::vector<t_nafcplx>* amp)
{
    freq->clear();
    amp->clear();
    fileptr f(fopen(filename, "r"));
    if (!f) {
        kst_runerror(ctx, 301, filename, strerror(errno));
        return false;
    }
    std::string line;
    for (int lineno = 1; readline(f.get(), &line); lineno++) {
        if (line.empty() || line[0] == '#') continue;
        double x[5];
        if (numbersof(line.c_str(), x, 5) != 5 || !std::isfinite(x[1])) {
            kst_runerror(ctx, 771, lineno, filename);
            freq->clear();
            amp->clear();
            return false;
        }
        freq->push_back(x[1]);
        amp->push_back(t_nafcplx(x[3], x[4]));
    }
    return true;
}

bool naf_readdata(t_cctx* ctx, const char* filename, int nulin, bool complex, std::vector<double>* re,
                  std::vector<double>* im, double* t0, double* xh)
{
    re->clear();
    im->clear();
    fileptr f(fopen(filename, "r"));
    if (!f) {
        kst_runerror(ctx, 301, filename, strerror(errno));
        return false;
    }
    std::string line;
    std::vector<double> times;
    const int want = complex ? 3 : 2;
    for (int lineno = 1; readline(f.get(), &line); lineno++) {
        if (lineno <= nulin) continue;
        double x[3] = {0, 0, 0};
        const int n = numbersof(line.c_str(), x, 3);
        if (n == 0) continue;
        if (n < want) {
            kst_runerror(ctx, 771, lineno, filename);
            return false;
        }
        times.push_back(x[0]);
        re->push_back(x[1]);
        im->push_back(complex ? x[2] : 0.0);
    }
    if (times.size() < 2 || !(times[1] != times[0])) {
        kst_runerror(ctx, 460);
        return false;
    }
    *t0 = times[0];
    *xh = times[1] - times[0];
    return true;
}
