// Arrays: shape, element storage and naming, subscript checks, extraction and assignment of
// sub-blocks, growth, realignment, display and the per-element parallel transformation.
#include "numeric/tableau.h"

#include <atomic>
#include <cstdarg>
#include <cstring>

#include "interp/error.h"
#include "interp/roomapi.h"
#include "interp/taskloop.h"
#include "render/render.h"

// ---------------------------------------------------------------- dimensions

list_dim_tab* cree_dim_tab(int lower, int upper, int step, list_dim_tab* next)
{
    if (step < 1 || upper < lower) {
        kst_runerror(35);
        return nullptr;
    }
    return new list_dim_tab{lower, upper, step, (upper - lower) / step + 1, next};
}

list_dim_tab* copy_dim_tab(const list_dim_tab* dims)
{
    list_dim_tab* head = nullptr;
    list_dim_tab** tail = &head;
    for (; dims; dims = dims->next) {
        *tail = new list_dim_tab{dims->binf, dims->bsup, dims->step, dims->count, nullptr};
        tail = &(*tail)->next;
    }
    return head;
}

void delete_dim_tab(list_dim_tab* dims)
{
    while (dims) {
        list_dim_tab* next = dims->next;
        delete dims;
        dims = next;
    }
}

bool dim_tab_check(t_cctx* ctx, int i, int dimnumber, const list_dim_tab* dim, const char* arrayname)
{
    if (i < dim->binf || i > dim->bsup) {
        kst_runerror(ctx, 29, i, dimnumber, arrayname ? arrayname : "");
        return false;
    }
    if ((i - dim->binf) % dim->step != 0) {
        kst_runerror(ctx, 565, i, dim->binf, dim->bsup, dim->step);
        return false;
    }
    return true;
}

// ---------------------------------------------------------------- elements

t_idcommon* list_elt_tab::moveData(bool take)
{
    t_idcommon* v = data;
    if (take) {
        data = nullptr;
        race.writeaccess();
    } else {
        race.readaccess();
    }
    return v;
}

// ---------------------------------------------------------------- construction

t_tableau::t_tableau(const char* name, int kind) : t_idcommon(name, kind) {}

t_tableau::t_tableau(int n, int kind) : t_idcommon("", kind)
{
    m_dims = new list_dim_tab{1, n, 1, n, nullptr};
    m_ndim = 1;
    allocate();
}

t_tableau::t_tableau(const char* name, int kind, int ndim, list_dim_tab* dims, bool keepbounds)
    : t_idcommon(name, kind), m_dims(dims), m_ndim(ndim)
{
    int counted = 0;
    for (const list_dim_tab* d = dims; d; d = d->next) counted++;
    if (counted != ndim) kst_iceerror(1014, "t_tableau", ndim);
    if (!keepbounds) realigntobinf1(false);
    allocate();
}

t_tableau::t_tableau(const t_tableau& other)
    : t_idcommon(other.getName(), other.getFlag()), m_dims(copy_dim_tab(other.m_dims)), m_ndim(other.m_ndim)
{
    allocate();
    for (long p = 0; p < m_size; p++)
        if (const t_idcommon* v = other.m_elts[p].data) m_elts[p].data = v->Vcopy();
}

t_tableau::~t_tableau() { clear(); }

void t_tableau::allocate()
{
    long n = m_dims ? 1 : 0;
    for (const list_dim_tab* d = m_dims; d; d = d->next) n = static_cast<long>(kst_checkmulsize(n, d->count));
    m_size = n;
    m_elts.reset(n ? new list_elt_tab[n] : nullptr);
    for (long p = 0; p + 1 < n; p++) m_elts[p].next = &m_elts[p + 1];
}

void t_tableau::clear()
{
    for (long p = 0; p < m_size; p++)
        if (m_elts[p].data) m_elts[p].data->Vdelete();
    m_elts.reset();
    m_size = 0;
    delete_dim_tab(m_dims);
    m_dims = nullptr;
    m_ndim = 0;
}

t_tableau* creeinit_tab(int kind, const char* name, int ndim, list_dim_tab* dims)
{
    return new t_tableau(name, kind, ndim, dims);
}
t_tableau* creeinit_tab(int n) { return new t_tableau(n); }
t_tableau* creeinit_tab(int first, int last)
{
    list_dim_tab* d = cree_dim_tab(first, last, 1, nullptr);
    return d ? new t_tableau("", IDTYPE_TABLEAU, 1, d) : nullptr;
}
t_tableau* creeinit_tab2D(int l1, int u1, int l2, int u2)
{
    list_dim_tab* d2 = cree_dim_tab(l2, u2, 1, nullptr);
    if (!d2) return nullptr;
    list_dim_tab* d1 = cree_dim_tab(l1, u1, 1, d2);
    if (!d1) {
        delete_dim_tab(d2);
        return nullptr;
    }
    return new t_tableau("", IDTYPE_TABLEAU, 2, d1);
}

// ---------------------------------------------------------------- shape

long t_tableau::Vbilan_mem() const
{
    long mem = static_cast<long>(sizeof(*this) + namecapacity() + m_ndim * sizeof(list_dim_tab) +
                                 m_size * sizeof(list_elt_tab));
    for (long p = 0; p < m_size; p++)
        if (m_elts[p].data) mem += m_elts[p].data->Vbilan_mem();
    return mem;
}

const list_dim_tab* t_tableau::dim(int d) const
{
    const list_dim_tab* node = m_dims;
    for (int k = 1; node && k < d; k++) node = node->next;
    return d >= 1 ? node : nullptr;
}

int t_tableau::Vinf(int d) const
{
    const list_dim_tab* node = dim(d);
    return node ? node->binf : 0;
}

int t_tableau::Vsup(int d) const
{
    const list_dim_tab* node = dim(d);
    return node ? node->bsup : 0;
}

bool t_tableau::isdim_compatible(const t_tableau& other, bool* samebounds) const
{
    bool same = m_ndim == other.m_ndim;
    bool compatible = same;
    for (const list_dim_tab *a = m_dims, *b = other.m_dims; compatible && a && b; a = a->next, b = b->next) {
        compatible = a->count == b->count;
        same = same && a->binf == b->binf && a->bsup == b->bsup && a->step == b->step;
    }
    if (samebounds) *samebounds = compatible && same;
    return compatible;
}

bool t_tableau::musthavestep1() const
{
    for (const list_dim_tab* d = m_dims; d; d = d->next)
        if (d->step != 1) return false;
    return true;
}

// ---------------------------------------------------------------- addressing and names

long t_tableau::position(t_cctx* ctx, const int* subscripts, int n) const
{
    if (n != m_ndim) {
        kst_runerror(ctx, 35);
        return -1;
    }
    long p = 0;
    int k = 0;
    for (const list_dim_tab* d = m_dims; d; d = d->next, k++) {
        if (!dim_tab_check(ctx, subscripts[k], k + 1, d, getName())) return -1;
        p = p * d->count + (subscripts[k] - d->binf) / d->step;
    }
    return p;
}

std::vector<int> t_tableau::subscripts(long p) const
{
    std::vector<int> out(m_ndim);
    std::vector<const list_dim_tab*> nodes;
    for (const list_dim_tab* d = m_dims; d; d = d->next) nodes.push_back(d);
    for (int k = m_ndim - 1; k >= 0; k--) {
        out[k] = nodes[k]->binf + static_cast<int>(p % nodes[k]->count) * nodes[k]->step;
        p /= nodes[k]->count;
    }
    return out;
}

std::string t_tableau::eltname(long p) const
{
    std::string name = getName();
    name += '[';
    std::vector<int> subs = subscripts(p);
    for (size_t k = 0; k < subs.size(); k++) {
        if (k) name += ',';
        name += std::to_string(subs[k]);
    }
    name += ']';
    return name;
}

void t_tableau::init_elt_tab_idc(long p, t_idcommon* value)
{
    list_elt_tab& e = m_elts[p];
    // Named before it is published: once stored, another task may already replace it.
    if (value) value->Vupdatename(eltname(p).c_str());
    // The tasks of a parallel loop write the elements of a shared array without a lock; when two
    // of them store into the same element the exchange hands the value it replaces to exactly
    // one of them, so the last write wins and nothing is freed twice.
    t_idcommon* old = std::atomic_ref<t_idcommon*>(e.data).exchange(value, std::memory_order_acq_rel);
    e.race.writeaccess();
    if (old && old != value) old->Vdelete();
}

void init_elt_tab_idc(t_tableau* tab, t_idcommon* value, list_elt_tab* elt)
{
    tab->init_elt_tab_idc(elt - tab->elements(), value);
}

void t_tableau::Vupdatename(const char* name)
{
    t_idcommon::Vupdatename(name);
    for (long p = 0; p < m_size; p++)
        if (m_elts[p].data) m_elts[p].data->Vupdatename(eltname(p).c_str());
}

bool t_tableau::Vdependon(const t_idcommon* other) const
{
    for (long p = 0; p < m_size; p++)
        if (m_elts[p].data && m_elts[p].data->Vdependon(other)) return true;
    return false;
}

list_elt_tab* calcul_adr_elt_tab(t_cctx* ctx, t_tableau* tab, const std::vector<int>& subscripts)
{
    long p = tab->position(ctx, subscripts.data(), static_cast<int>(subscripts.size()));
    return p < 0 ? nullptr : &tab->elt(p);
}

list_elt_tab* Mcalcul_adr_elt_tab(t_cctx* ctx, t_tableau* tab, int n, ...)
{
    std::vector<int> subs(n);
    va_list ap;
    va_start(ap, n);
    for (int k = 0; k < n; k++) subs[k] = va_arg(ap, int);
    va_end(ap);
    return calcul_adr_elt_tab(ctx, tab, subs);
}

// ---------------------------------------------------------------- extraction

t_idcommon* t_tableau::Vextract(t_cctx* ctx, const int* subscripts, int n) const
{
    long p = position(ctx, subscripts, n);
    if (p < 0) return nullptr;
    const t_idcommon* v = m_elts[p].data;
    return v ? v->Vcopy() : kst_newemptyid(eltname(p).c_str());
}

namespace {

// The storage positions of a sub-block, in the sub-block's own storage order, and its shape.
struct t_block {
    std::vector<long> positions;
    std::vector<tabnum_borne> resultdims;   // first, last, step of each result dimension
};

bool select_block(t_cctx* ctx, const t_tableau& tab, const list_tabnum_borne& ranges, bool ellipsis, t_block& block)
{
    const int nd = tab.ndim();
    if (static_cast<int>(ranges.size()) > nd || (!ellipsis && static_cast<int>(ranges.size()) != nd)) {
        kst_runerror(ctx, 35);
        return false;
    }
    // per dimension: the list of element offsets (0-based within the dimension) selected
    std::vector<std::vector<int>> offsets(nd);
    int k = 0;
    for (const list_dim_tab* d = tab.dims(); d; d = d->next, k++) {
        tabnum_borne r = k < static_cast<int>(ranges.size()) ? ranges[k] : tabnum_borne{d->binf, d->bsup, d->step};
        if (r.step < 1) {
            kst_runerror(ctx, 390, r.step);
            return false;
        }
        if (!dim_tab_check(ctx, r.first, k + 1, d, tab.getName()) || !dim_tab_check(ctx, r.last, k + 1, d, tab.getName()))
            return false;
        for (long i = r.first; i <= r.last; i += r.step) {
            if (!dim_tab_check(ctx, static_cast<int>(i), k + 1, d, tab.getName())) return false;
            offsets[k].push_back(static_cast<int>((i - d->binf) / d->step));
        }
        if (offsets[k].empty()) {
            kst_runerror(ctx, 35);
            return false;
        }
        int count = static_cast<int>(offsets[k].size());
        // a whole dimension taken as it is keeps its own step
        if (k >= static_cast<int>(ranges.size())) block.resultdims.push_back(r);
        else if (r.step == 1) block.resultdims.push_back({r.first, r.first + count - 1, 1});
        else block.resultdims.push_back({1, count, 1});
    }
    // odometer over the selected offsets, last dimension fastest
    std::vector<int> counts(nd);
    for (int j = 0; j < nd; j++) counts[j] = tab.dim(j + 1)->count;
    std::vector<size_t> at(nd, 0);
    while (true) {
        long p = 0;
        for (int j = 0; j < nd; j++) p = p * counts[j] + offsets[j][at[j]];
        block.positions.push_back(p);
        int j = nd - 1;
        while (j >= 0 && ++at[j] == offsets[j].size()) at[j--] = 0;
        if (j < 0) break;
    }
    return true;
}

list_dim_tab* dims_of(const std::vector<tabnum_borne>& shape)
{
    list_dim_tab* head = nullptr;
    for (auto it = shape.rbegin(); it != shape.rend(); ++it)
        head = new list_dim_tab{it->first, it->last, it->step, (it->last - it->first) / it->step + 1, head};
    return head;
}

} // namespace

t_tableau* t_tableau::tableau_extract(t_cctx* ctx, const list_tabnum_borne& ranges, bool ellipsis) const
{
    t_block block;
    if (!select_block(ctx, *this, ranges, ellipsis, block)) return nullptr;
    auto* out = new t_tableau("", IDTYPE_TABLEAU, m_ndim, dims_of(block.resultdims));
    for (long q = 0; q < out->m_size; q++)
        if (const t_idcommon* v = m_elts[block.positions[q]].data) out->init_elt_tab_idc(q, v->Vcopy());
    return out;
}

// ---------------------------------------------------------------- assignment

namespace {
t_idcommon* owned(t_idcommon* value, int keep) { return keep ? value->Vcopy() : value; }
void release(t_idcommon* value, int keep)
{
    if (!keep && value) value->Vdelete();
}
} // namespace

bool t_tableau::affect_elttab_valeur_wcheck(t_cctx* ctx, const int* subs, int n, t_idcommon* value, int keep)
{
    long p = position(ctx, subs, n);
    if (p < 0) {
        release(value, keep);
        return false;
    }
    init_elt_tab_idc(p, owned(value, keep));
    return true;
}

bool t_tableau::affect_tabelts(t_cctx* ctx, const list_tabnum_borne& ranges, bool ellipsis, t_idcommon* value, int keep)
{
    t_block block;
    if (!select_block(ctx, *this, ranges, ellipsis, block)) {
        release(value, keep);
        return false;
    }
    if (value->Vgettypeenum() == IDTYPE_TABLEAU) {
        auto* src = static_cast<t_tableau*>(value);
        if (src->m_ndim != m_ndim) {
            kst_runerror(ctx, 166, src->m_ndim);
            release(value, keep);
            return false;
        }
        int k = 0;
        for (const list_dim_tab* d = src->m_dims; d; d = d->next, k++) {
            int want = block.resultdims[k].last - block.resultdims[k].first;
            want = want / block.resultdims[k].step + 1;
            if (d->count != want) {
                kst_runerror(ctx, 167, want, d->count);
                release(value, keep);
                return false;
            }
        }
        for (long q = 0; q < src->m_size; q++) {
            t_idcommon* v = src->m_elts[q].data;
            if (!v) init_elt_tab_idc(block.positions[q], nullptr);
            else init_elt_tab_idc(block.positions[q], keep ? v->Vcopy() : src->m_elts[q].moveData(true));
        }
        release(value, keep);
        return true;
    }
    for (size_t q = 0; q < block.positions.size(); q++) {
        bool last = q + 1 == block.positions.size();
        init_elt_tab_idc(block.positions[q], last && !keep ? value : value->Vcopy());
    }
    return true;
}

bool t_tableau::assign_vnumindice(t_cctx* ctx, const t_vecnum* indices, t_idcommon* value, int keep)
{
    if (m_ndim != 1) {
        kst_runerror(ctx, 539, m_ndim);
        release(value, keep);
        return false;
    }
    const uint32_t n = indices->size();
    std::vector<long> positions(n);
    for (uint32_t k = 0; k < n; k++) {
        coef c = indices->data2coef(ctx, k);
        double x = coef_iszero(&c) ? 0.0 : coef2dbl(&c);
        deletecoef(&c);
        int i = static_cast<int>(x);
        if (static_cast<double>(i) != x) {
            kst_runerror(ctx, 574, static_cast<int>(k + 1));
            release(value, keep);
            return false;
        }
        positions[k] = position(ctx, &i, 1);
        if (positions[k] < 0) {
            release(value, keep);
            return false;
        }
    }
    auto* src = value->Vgettypeenum() == IDTYPE_TABLEAU ? static_cast<t_tableau*>(value) : nullptr;
    if (src && src->m_size != static_cast<long>(n)) {
        kst_runerror(ctx, 167, static_cast<int>(n), static_cast<int>(src->m_size));
        release(value, keep);
        return false;
    }
    for (uint32_t k = 0; k < n; k++) {
        const t_idcommon* v = src ? src->m_elts[k].data : value;
        init_elt_tab_idc(positions[k], v ? v->Vcopy() : nullptr);
    }
    release(value, keep);
    return true;
}

// ---------------------------------------------------------------- growth and realignment

void t_tableau::increasesize(int k)
{
    if (k <= 0) return;
    const long old = m_size;
    std::unique_ptr<list_elt_tab[]> kept = std::move(m_elts);
    delete_dim_tab(m_dims);
    m_dims = new list_dim_tab{1, static_cast<int>(old + k), 1, static_cast<int>(old + k), nullptr};
    m_ndim = 1;
    allocate();
    for (long p = 0; p < old && p < m_size; p++) m_elts[p].data = kept[p].data;
    for (long p = m_size; p < old; p++)
        if (kept[p].data) kept[p].data->Vdelete();
    Vupdatename(getName());
}

void t_tableau::realigntobinf1(bool keep)
{
    if (keep) return;
    for (list_dim_tab* d = m_dims; d; d = d->next) {
        d->binf = 1;
        d->step = 1;
        d->bsup = d->count;
    }
    if (m_elts) Vupdatename(getName());
}

// ---------------------------------------------------------------- display

// The shape, as "TAB[1..2, 0..4:2]" (an array inside a structure shows this).
bool t_tableau::Vexport_str(t_cctx*, std::string& out) const
{
    out = "TAB[";
    for (const list_dim_tab* d = m_dims; d; d = d->next) {
        if (d != m_dims) out += ", ";
        out += std::to_string(d->binf) + ".." + std::to_string(d->bsup);
        if (d->step != 1) out += ":" + std::to_string(d->step);
    }
    out += "]";
    return true;
}

// A header with the shape, "T = TAB[1..2, 0..4:2]", then every non-empty element on its own line
// through that value's display (its name carries the subscripts).
void t_tableau::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    std::string shape;
    Vexport_str(ctx, shape);
    r->Vrender_unsafe(shape.c_str());
    r->writenewline();
    for (long p = 0; p < m_size; p++)
        if (m_elts[p].data) m_elts[p].data->Vdisplay_resume(ctx, stream);
}

// ---------------------------------------------------------------- whole-array transformations

namespace {

class t_applyall_loop : public t_parallelloop<t_applyall_loop> {
public:
    t_applyall_loop(t_cctx* ctx, t_tableau* src, t_tableau* dst, bool consume, const t_tableau::t_eltfunc& f,
                    std::vector<char>& failed)
        : t_parallelloop(ctx), m_src(src), m_dst(dst), m_consume(consume), m_f(f), m_failed(failed)
    {
    }
    void run_body(int p, t_cctx* ctx)
    {
        list_elt_tab& in = m_src->elt(p);
        if (!in.getData()) return;
        t_idcommon* v = in.moveData(m_consume);
        t_idcommon* r = m_f(ctx, v, m_consume ? 0 : 1);
        if (!r) {
            m_failed[p] = 1;
            return;
        }
        // each task writes only its own element, so the result array needs no lock
        m_dst->init_elt_tab_idc(p, r);
    }

private:
    t_tableau* m_src;
    t_tableau* m_dst;
    bool m_consume;
    const t_tableau::t_eltfunc& m_f;
    std::vector<char>& m_failed;
};

} // namespace

t_tableau* t_tableau::applyall_elt_id(t_cctx* ctx, const t_eltfunc& f, bool consume)
{
    t_tableau* result = consume ? this : new t_tableau("", getFlag(), m_ndim, copy_dim_tab(m_dims));
    std::vector<char> failed(static_cast<size_t>(m_size), 0);
    t_applyall_loop loop(ctx, this, result, consume, f, failed);
    if (m_size > 0) parallel_loop_for1_largegrain(ctx, 0, static_cast<int>(m_size - 1), loop);
    bool anyfailed = Erreur_Execution.load() != 0;
    for (char c : failed) anyfailed = anyfailed || c;
    if (anyfailed) {
        result->Vdelete();
        return nullptr;
    }
    return result;
}

void t_tableau::applyall_elt_tab(t_cctx* ctx, const std::function<void(t_cctx*, long, list_elt_tab&)>& f)
{
    for (long p = 0; p < m_size; p++) f(ctx, p, m_elts[p]);
}
