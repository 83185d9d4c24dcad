// Array files: the shape and the per-element flags; the element values live in files of their
// own, written and read by their classes.
#include <cstring>

#include "interp/error.h"
#include "numeric/tableau.h"

namespace {

bool put32(FILE* f, int32_t v) { return fwrite(&v, sizeof v, 1, f) == 1; }
bool get32(FILE* f, int32_t* v) { return fread(v, sizeof *v, 1, f) == 1; }

// Saves every non-empty element; the flags, in storage order.
std::vector<int> saveelements(t_cctx* ctx, const t_tableau* a, const t_tabelt_io& io)
{
    std::vector<int> flags(static_cast<size_t>(a->Vsize()), 0);
    for (long p = 0; p < a->Vsize(); p++)
        if (const t_idcommon* v = a->elt(p).getData()) flags[p] = io.save(ctx, v, a->eltname(p).c_str()) ? 1 : 0;
    return flags;
}

// A stored dimension: its bounds were those of a step that is not kept, so the count decides.
list_dim_tab* loaded_dims(const std::vector<int32_t>& lower, const std::vector<int32_t>& count)
{
    list_dim_tab* head = nullptr;
    for (size_t k = lower.size(); k-- > 0;) head = new list_dim_tab{lower[k], lower[k] + count[k] - 1, 1, count[k], head};
    return head;
}

bool validshape(const std::vector<int32_t>& count, int32_t total)
{
    long long n = 1;
    for (int32_t c : count) {
        if (c < 1 || c > (1 << 30)) return false;
        n *= c;
        if (n > (1LL << 31)) return false;
    }
    return n == total;
}

// Reads each flagged element by its name; the array is dropped when one fails.
t_tableau* fillelements(t_cctx* ctx, t_tableau* t, const std::vector<int>& flags, const std::vector<std::string>& names,
                        const t_tabelt_io& io)
{
    for (long p = 0; p < t->Vsize(); p++) {
        if (!flags[p]) continue;
        const std::string name = names.empty() ? t->eltname(p) : names[p];
        t_idcommon* v = io.load(ctx, name.c_str());
        if (!v) {
            t->Vdelete();
            return nullptr;
        }
        t->init_elt_tab_idc(p, v);
    }
    return t;
}

} // namespace

bool savetab(t_cctx* ctx, const t_tableau* a, FILE* f, const t_tabelt_io& io)
{
    std::vector<int> flags = saveelements(ctx, a, io);
    bool ok = put32(f, a->ndim());
    for (const list_dim_tab* d = a->dims(); d && ok; d = d->next) ok = put32(f, d->binf) && put32(f, d->bsup) && put32(f, d->count);
    ok = ok && put32(f, static_cast<int32_t>(a->Vsize()));
    for (size_t p = 0; p < flags.size() && ok; p++) ok = put32(f, flags[p]);
    ok = ok && fflush(f) == 0;
    if (!ok) kst_runerror(ctx, 340, a->getName());
    return ok;
}

bool savetabF(t_cctx* ctx, const t_tableau* a, FILE* f, const t_tabelt_io& io)
{
    std::vector<int> flags = saveelements(ctx, a, io);
    bool ok = fprintf(f, "%d\n", a->ndim()) > 0;
    for (const list_dim_tab* d = a->dims(); d && ok; d = d->next) ok = fprintf(f, "%d %d %d\n", d->binf, d->bsup, d->count) > 0;
    ok = ok && fprintf(f, "%ld\n", a->Vsize()) > 0;
    for (long p = 0; p < a->Vsize() && ok; p++) {
        const char* state = !a->elt(p).getData() ? "EMPTY" : flags[p] ? "SAVE" : "CANTSAVE";
        ok = fprintf(f, "%s %s\n", a->eltname(p).c_str(), state) > 0;
    }
    ok = ok && fflush(f) == 0;
    if (!ok) kst_runerror(ctx, 338, a->getName());
    return ok;
}

t_tableau* loadtab(t_cctx* ctx, FILE* f, const char* name, const t_tabelt_io& io)
{
    int32_t ndim = 0, total = 0;
    bool ok = get32(f, &ndim) && ndim >= 1 && ndim <= 64;
    std::vector<int32_t> lower, count;
    for (int k = 0; ok && k < ndim; k++) {
        int32_t lo, up, n;
        ok = get32(f, &lo) && get32(f, &up) && get32(f, &n);
        lower.push_back(lo);
        count.push_back(n);
    }
    ok = ok && get32(f, &total) && validshape(count, total);
    std::vector<int> flags;
    for (int32_t p = 0; ok && p < total; p++) {
        int32_t flag;
        ok = get32(f, &flag);
        flags.push_back(flag == 1);
    }
    if (!ok) {
        kst_runerror(ctx, 336, name);
        return nullptr;
    }
    auto* t = new t_tableau(name, IDTYPE_TABLEAU, ndim, loaded_dims(lower, count));
    return fillelements(ctx, t, flags, {}, io);
}

t_tableau* loadtabF(t_cctx* ctx, FILE* f, const char* name, const t_tabelt_io& io)
{
    int ndim = 0, total = 0;
    bool ok = fscanf(f, "%d", &ndim) == 1 && ndim >= 1 && ndim <= 64;
    std::vector<int32_t> lower, count;
    for (int k = 0; ok && k < ndim; k++) {
        int lo, up, n;
        ok = fscanf(f, "%d %d %d", &lo, &up, &n) == 3;
        lower.push_back(lo);
        count.push_back(n);
    }
    ok = ok && fscanf(f, "%d", &total) == 1 && validshape(count, total);
    std::vector<int> flags;
    std::vector<std::string> names;
    char eltname[1024], state[16];
    for (int p = 0; ok && p < total; p++) {
        ok = fscanf(f, "%1023s %15s", eltname, state) == 2;
        names.emplace_back(eltname);
        flags.push_back(strcmp(state, "SAVE") == 0);
    }
    if (!ok) {
        kst_runerror(ctx, 336, name);
        return nullptr;
    }
    auto* t = new t_tableau(name, IDTYPE_TABLEAU, ndim, loaded_dims(lower, count));
    return fillelements(ctx, t, flags, names, io);
}
