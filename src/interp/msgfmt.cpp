// Formatted messages and file objects.
#include "interp/msgfmt.h"

#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/ids.h"
#include "interp/kest.h"
#include "render/render.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

void unescape_into(std::string& out, const char* p, const char* end)
{
    for (; p < end; p++) {
        if (*p != '\\') {
            out += *p;
            continue;
        }
        if (p + 1 == end) return;                    // a final lone backslash is dropped
        switch (p[1]) {
        case 't': out += '\t'; p++; break;
        case 'n': out += '\n'; p++; break;
        case 'r': out += '\r'; p++; break;
        case '\\': out += '\\'; p++; break;
        default: out += '\\'; break;                 // other escapes stay as written
        }
    }
}

// Start of the next conversion at or after p ("%%" is text), or end.
const char* nextconversion(const char* p, const char* end)
{
    while (p < end) {
        if (*p == '%') {
            if (p + 1 < end && p[1] == '%') {
                p += 2;
                continue;
            }
            return p;
        }
        p++;
    }
    return end;
}

} // namespace

t_fmtpieces kst_fmt_split(const char* format)
{
    t_fmtpieces out;
    const char* end = format + strlen(format);
    const char* p = nextconversion(format, end);
    unescape_into(out.lead, format, p);
    while (p < end) {
        const char* next = nextconversion(p + 1, end);
        out.pieces.emplace_back();
        unescape_into(out.pieces.back(), p, next);
        p = next;
    }
    return out;
}

t_msgfmtspec msgfmt_extractfmt(const char* piece)
{
    t_msgfmtspec spec;
    const char* p = piece;
    if (*p == '%') p++;
    bool plus = false, minus = false;
    while (*p == '+' || *p == '-') {
        (*p == '+' ? plus : minus) = true;
        p++;
    }
    spec.sign = (plus ? 1 : 0) + (minus ? 2 : 0);
    // Digits accumulate saturated: a width of ten digits must not overflow.
    auto number = [&p]() {
        int n = 0;
        while (isdigit(static_cast<unsigned char>(*p))) {
            int d = *p++ - '0';
            n = n > (INT_MAX - d) / 10 ? INT_MAX : n * 10 + d;
        }
        return n;
    };
    if (isdigit(static_cast<unsigned char>(*p))) {
        int w = number();
        spec.width = w == 0 ? -1 : w;
    }
    if (*p == '.') {
        p++;
        spec.precision = number();
    }
    switch (*p) {
    case 'e': case 'E': spec.conversion = 'E'; break;
    case 'g': case 'G': spec.conversion = 'G'; break;
    case 'f': case 'F': spec.conversion = 'F'; break;
    default: spec.conversion = *p; break;
    }
    return spec;
}

bool msgfmt_checkwidths(t_cctx* ctx, const t_fmtpieces& parts)
{
    for (const std::string& piece : parts.pieces) {
        size_t p = 1;   // after the '%'
        while (p < piece.size() && strchr("+- #0'", piece[p])) p++;
        // Saturated, so that a number of any length compares as too large.
        auto number = [&]() {
            long n = 0;
            for (; p < piece.size() && isdigit(static_cast<unsigned char>(piece[p])); p++)
                n = std::min(n * 10 + (piece[p] - '0'), long(INT_MAX));
            return n;
        };
        long width = number(), precision = 0;
        if (p < piece.size() && piece[p] == '.') {
            p++;
            precision = number();
        }
        if (std::max(width, precision) <= kst_msgfmt_maxwidth) continue;
        std::string conversion = piece.substr(0, std::min(p + 1, piece.size()));
        kst_runerror(ctx, 710, conversion.c_str(), kst_msgfmt_maxwidth);
        return false;
    }
    return true;
}

void msgfmt_printtext(FILE* stream, const std::string& text)
{
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') i++;
        fputc(text[i], stream);
    }
}

bool msgfmt_double(t_cctx* ctx, FILE* stream, double value, const char* piece)
{
    t_msgfmtspec spec = msgfmt_extractfmt(piece);
    switch (spec.conversion) {
    case 'E': case 'G': case 'F':
        fprintf(stream, piece, value);
        return true;
    case 'd': case 'i': {
        if (value >= INT_MIN && value <= INT_MAX) {
            fprintf(stream, piece, static_cast<int>(value));
            return true;
        }
        // Too large for an int: print as a float without decimals, with the piece's width.
        std::string rewritten = piece;
        size_t letter = rewritten.find_first_of("di", rewritten.find('%') + 1);
        rewritten[letter] = 'f';
        if (spec.precision < 0) rewritten.insert(letter, ".0");
        fprintf(stream, rewritten.c_str(), value);
        return true;
    }
    default: {
        char letter[2] = {spec.conversion ? spec.conversion : '?', 0};
        kst_runerror(ctx, 529, letter);
        return false;
    }
    }
}

void msgfmt_an(t_cctx* ctx, FILE* stream, const char* format, const std::vector<const t_idcommon*>& args,
               const char* caller)
{
    t_fmtpieces parts = kst_fmt_split(format);
    if (!msgfmt_checkwidths(ctx, parts)) return;
    msgfmt_printtext(stream, parts.lead);
    size_t next = 0;
    for (const std::string& piece : parts.pieces) {
        if (next >= args.size()) {
            kst_runerror(ctx, 468);
            continue;
        }
        const t_idcommon* arg = args[next++];
        const t_idcommon* value = arg ? const_cast<t_idcommon*>(arg)->Vgetvalue() : nullptr;
        if (!value || !value->Vexport_msgfmt(ctx, stream, piece.c_str()))
            kst_runerror(ctx, 429, static_cast<int>(next + 1), caller);
    }
}

void msgfmt_stdout(t_cctx* ctx, const char* format, const std::vector<const t_idcommon*>& args,
                   const char* caller)
{
    t_render* r = kst_cctx_getrender(ctx, g_stdout);
    r->Vconsoletext_begin();
    msgfmt_an(ctx, g_stdout, format, args, caller);
    r->Vconsoletext_end();
    fflush(g_stdout);
}

std::string msgfmt_string(t_cctx* ctx, const char* format, const std::vector<const t_idcommon*>& args,
                          const char* caller)
{
    char* buf = nullptr;
    size_t len = 0;
    FILE* s = open_memstream(&buf, &len);
    msgfmt_an(ctx, s, format, args, caller);
    fclose(s);
    std::string out(buf, len);
    free(buf);
    return out;
}

// ---------------------------------------------------------------- strings print with %s

bool t_textid::Vexport_msgfmt(t_cctx*, FILE* stream, const char* piece) const
{
    if (msgfmt_extractfmt(piece).conversion != 's') return false;
    fprintf(stream, piece, m_text.c_str());
    return true;
}

// ---------------------------------------------------------------- file objects

const char* t_sharedfileio::getStatusname() const
{
    switch (state) {
    case reading: return kst_getmsginfo(76);
    case writing: return kst_getmsginfo(77);
    case closed: return kst_getmsginfo(78);
    }
    kst_iceerror(1095, "t_sharedfileio::getStatusname", state);
}

t_fileio* t_fileio::open(t_cctx* ctx, const char* name, mode m)
{
    static const char* const modes[] = {"rt", "w+t", "a+t"};
    if (kst_issandbox()) {
        kst_runerror(ctx, 254, name, strerror(EACCES));
        return nullptr;
    }
    FILE* f = fopen(name, modes[m]);
    if (!f) {
        kst_runerror(ctx, 254, name, strerror(errno));
        return nullptr;
    }
    auto* shared = new t_sharedfileio;
    shared->stream = f;
    shared->name = name;
    shared->state = m == mode_read ? t_sharedfileio::reading : t_sharedfileio::writing;
    return new t_fileio(shared);
}

t_fileio::t_fileio(const t_fileio& other) : t_idcommon(other), m_shared(other.m_shared) { m_shared->links++; }

t_fileio::~t_fileio()
{
    if (--m_shared->links) return;
    if (m_shared->stream) fclose(m_shared->stream);
    delete m_shared;
}

bool t_fileio::close(t_cctx* ctx)
{
    if (m_shared->state == t_sharedfileio::closed) {
        kst_runerror(ctx, 70);
        return false;
    }
    fclose(m_shared->stream);
    m_shared->stream = nullptr;
    m_shared->state = t_sharedfileio::closed;
    return true;
}

FILE* t_fileio::writestream(t_cctx* ctx) const
{
    switch (m_shared->state) {
    case t_sharedfileio::writing: return m_shared->stream;
    case t_sharedfileio::reading: kst_runerror(ctx, 491, m_shared->name.c_str()); return nullptr;
    default: kst_runerror(ctx, 72, m_shared->name.c_str()); return nullptr;
    }
}

FILE* t_fileio::readstream(t_cctx* ctx) const
{
    switch (m_shared->state) {
    case t_sharedfileio::reading: return m_shared->stream;
    case t_sharedfileio::writing: kst_runerror(ctx, 492); return nullptr;
    default: kst_runerror(ctx, 72, m_shared->name.c_str()); return nullptr;
    }
}

void t_fileio::Vdisplay_resume(t_cctx* ctx, FILE* stream) const
{
    t_render* r = display_begin(ctx, stream);
    r->Vformat("%s \"%s\" (%s)", kst_getmsginfo(87), m_shared->name.c_str(), m_shared->getStatusname());
    r->writenewline();
}

t_fileio* filerw_file(t_cctx* ctx, const t_idcommon* value)
{
    t_idcommon* v = value ? const_cast<t_idcommon*>(value)->Vgetvalue() : nullptr;
    if (!v || v->Vgettypeenum() != IDTYPE_FILEIO) {
        kst_runerror(ctx, 66);
        return nullptr;
    }
    return static_cast<t_fileio*>(v);
}

bool filerw_msgfmt(t_cctx* ctx, t_idcommon* file, const char* format, const std::vector<const t_idcommon*>& args)
{
    t_fileio* f = filerw_file(ctx, file);
    FILE* stream = f ? f->writestream(ctx) : nullptr;
    if (!stream) return false;
    msgfmt_an(ctx, stream, format, args, "file_writemsg");
    return !Erreur_Execution;
}

bool filerw_close(t_cctx* ctx, t_idcommon* file)
{
    t_fileio* f = filerw_file(ctx, file);
    return f && f->close(ctx);
}
