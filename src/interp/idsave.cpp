// Identifier files: the common header, the dispatch to the value classes, and the constants and
// strings, whose bodies are one number and one string.
#include "interp/idsave.h"

#include <cstring>
#include <map>

#include "coef/coefsave.h"
#include "interp/cctx.h"
#include "interp/error.h"
#include "interp/idconstante.h"
#include "interp/ids.h"
#include "interp/treeint.h"

namespace {

constexpr size_t k_maxname = 520;
constexpr const char* k_version = ":006";
constexpr const char* k_versionF = ":003";

std::map<int, t_idstorage>& registry()
{
    static std::map<int, t_idstorage> r;
    return r;
}

const t_idstorage* storageof(const t_idcommon* v)
{
    auto it = registry().find(v->Vgettypeenum());
    return it == registry().end() ? nullptr : &it->second;
}

const t_idstorage* storageof(uint8_t code)
{
    for (const auto& [type, s] : registry())
        if (s.classcode == code) return &s;
    return nullptr;
}

const t_idstorage* storageof(const char* classname)
{
    for (const auto& [type, s] : registry())
        if (s.classname && strcmp(s.classname, classname) == 0) return &s;
    return nullptr;
}

bool strsave(FILE* f, const std::string& s)
{
    const uint64_t n = s.size() + 1;
    return fwrite(&n, sizeof n, 1, f) == 1 && fwrite(s.c_str(), 1, n, f) == n;
}

bool strload(FILE* f, std::string* s)
{
    uint64_t n = 0;
    if (fread(&n, sizeof n, 1, f) != 1 || n == 0 || n > (1u << 20)) return false;
    s->assign(n, '\0');
    if (fread(s->data(), 1, n, f) != n || (*s)[n - 1] != '\0') return false;
    s->resize(n - 1);
    return true;
}

// The full file name, or empty after error 248.
std::string filename(t_cctx* ctx, const t_idcommon* value, const char* file, const char* ext, bool usepath)
{
    std::string base = file && *file ? std::string(file) : std::string(value ? value->getName() : "");
    if (usepath && !(file && *file && file[0] == '/')) base = std::string(ctx->getpath()) + base;
    if (base.size() + strlen(ext) > k_maxname) {
        kst_runerror(ctx, 248, base.c_str(), ext);
        return {};
    }
    return base + ext;
}

std::string directoryof(const std::string& name)
{
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

std::string oneline(const char* message)
{
    std::string m = message ? message : "";
    if (m.empty()) return "emptymessage";
    for (char& c : m)
        if (c == '\n' || c == '\r') c = ' ';
    return m;
}

// ---------------------------------------------------------------- constants and strings

bool constant_save(t_cctx*, const t_idcommon* v, FILE* f, const std::string&)
{
    return coefnum_save(&static_cast<const t_idconstante*>(v)->rawvalue(), f);
}
t_idcommon* constant_load(t_cctx* ctx, FILE* f, const char* name, const std::string&)
{
    coef c;
    if (!coefnum_load(ctx, &c, f)) return nullptr;
    return new t_idconstante(ctx, name, c);
}
bool constant_saveF(t_cctx*, const t_idcommon* v, FILE* f, const std::string&)
{
    return kst_savecoefF(&static_cast<const t_idconstante*>(v)->rawvalue(), f);
}
t_idcommon* constant_loadF(t_cctx* ctx, FILE* f, const char* name, const std::string&)
{
    coef c;
    if (!kst_loadcoefF(ctx, &c, f)) return nullptr;
    return new t_idconstante(ctx, name, c);
}

bool string_save(t_cctx*, const t_idcommon* v, FILE* f, const std::string&)
{
    return strsave(f, static_cast<const t_chaine*>(v)->text());
}
t_idcommon* string_load(t_cctx*, FILE* f, const char* name, const std::string&)
{
    std::string s;
    return strload(f, &s) ? new t_chaine(s, name) : nullptr;
}
// The text form: the length, a space, then the characters as they are (newlines included).
bool string_saveF(t_cctx*, const t_idcommon* v, FILE* f, const std::string&)
{
    const std::string& s = static_cast<const t_chaine*>(v)->text();
    return fprintf(f, "%zu ", s.size()) > 0 && fwrite(s.data(), 1, s.size(), f) == s.size() && fputc('\n', f) != EOF;
}
t_idcommon* string_loadF(t_cctx*, FILE* f, const char* name, const std::string&)
{
    size_t n = 0;
    if (fscanf(f, "%zu", &n) != 1 || n > (1u << 20) || fgetc(f) != ' ') return nullptr;
    std::string s(n, '\0');
    if (n && fread(s.data(), 1, n, f) != n) return nullptr;
    return new t_chaine(s, name);
}

// Kinds whose numbers have a text writer and reader of their own in the coefficient tables.
bool hastextform(int tag)
{
    return tag == BH_DBL || tag == BH_ZDBL || tag == BH_RAT;
}

} // namespace

void kst_idstorage_register(int typeenum, const t_idstorage& storage) { registry()[typeenum] = storage; }

bool kst_idstorage_cansave(const t_idcommon* value) { return storageof(value) != nullptr; }

bool kst_savecoefF(const coef* c, FILE* f)
{
    const int tag = static_cast<int>(coef_tag(c));
    if (fprintf(f, "%2d  ", tag) < 0) return false;
    if (tag == BH_ZERO) return fputc('\n', f) != EOF;
    if (hastextform(tag)) return coef_vt(c).saveF(c, f) != 0;
    char* bytes = nullptr;
    size_t len = 0;
    FILE* mem = open_memstream(&bytes, &len);
    if (!mem) return false;
    bool ok = coefnum_save(c, mem);
    ok = fclose(mem) == 0 && ok;
    ok = ok && fputs("    #", f) >= 0;
    for (size_t i = 0; ok && i < len; i++) ok = fprintf(f, "%02x", static_cast<unsigned char>(bytes[i])) == 2;
    free(bytes);
    return ok && fputc('\n', f) != EOF;
}

bool kst_loadcoefF(t_cctx* ctx, coef* c, FILE* f)
{
    *c = coef{};
    int tag = -1;
    if (fscanf(f, "%d", &tag) != 1 || tag < 0 || tag >= BH_NTAGS) return false;
    if (tag == BH_ZERO) return true;
    if (hastextform(tag)) {
        return g_kst_coef_vtable[tag].loadF(ctx, c, f) != 0;
    }
    int ch;
    while ((ch = fgetc(f)) == ' ' || ch == '\t') {}
    if (ch != '#') return false;
    std::string bytes;
    int hi, lo;
    while ((hi = fgetc(f)) != EOF && isxdigit(hi)) {
        lo = fgetc(f);
        if (lo == EOF || !isxdigit(lo)) return false;
        bytes.push_back(static_cast<char>(std::stoi(std::string{static_cast<char>(hi), static_cast<char>(lo)}, nullptr, 16)));
    }
    FILE* mem = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!mem) return false;
    const bool ok = coefnum_load(ctx, c, mem) && coef_tag(c) == static_cast<unsigned>(tag);
    fclose(mem);
    if (!ok) deletecoef(c);
    return ok;
}

namespace {

// The header of either form, then the class's body; false after an error.
bool saveas(t_cctx* ctx, const t_idcommon* value, const char* file, const char* message, bool text)
{
    const t_idstorage* s = storageof(value);
    if (!s || !(text ? s->saveF : s->save)) {
        kst_runerror(ctx, 23);
        return false;
    }
    const std::string name = filename(ctx, value, file, text ? ".ksF" : ".kst", !(file && *file));
    if (name.empty()) return false;
    FILE* f = fopen(name.c_str(), text ? "w" : "wb");
    bool header = f != nullptr;
    if (header && text) {
        header = fprintf(f, "%s\n%s\n%s\n%s\n", k_versionF, value->getName(), s->classname, oneline(message).c_str()) >= 0;
    } else if (header) {
        const uint8_t code = s->classcode;
        header = strsave(f, k_version) && fwrite(&code, 1, 1, f) == 1 && strsave(f, value->getName()) &&
                 strsave(f, message ? message : "");
    }
    if (!header) {
        if (f) fclose(f);
        kst_runerror(ctx, 249, name.c_str());
        return false;
    }
    bool ok = (text ? s->saveF : s->save)(ctx, value, f, directoryof(name));
    ok = fclose(f) == 0 && ok;
    if (!ok && !tree_flags(ctx)) kst_runerror(ctx, 338, value->getName());
    return ok;
}

} // namespace

bool saveidentificateur(t_cctx* ctx, const t_idcommon* value, const char* file, const char* message)
{
    return saveas(ctx, value, file, message, false);
}

bool saveidentificateurF(t_cctx* ctx, const t_idcommon* value, const char* file, const char* message)
{
    return saveas(ctx, value, file, message, true);
}

namespace {

// The binary header: 0 and the class and saved name, or the error number (250 unreadable, 251
// obsolete version, 252 unknown version).
int readheader(FILE* f, const t_idstorage** s, std::string* saved)
{
    std::string version, message;
    uint8_t code = 0;
    if (!strload(f, &version)) return 250;
    if (version.empty() || version[0] != ':' || version == ":002" || version == ":003" || version == ":R02") return 251;
    if (version != ":004" && version != ":005" && version != k_version) return 252;
    if (fread(&code, 1, 1, f) != 1 || !strload(f, saved) || !strload(f, &message)) return 250;
    *s = storageof(code);
    return 0;
}

// The text header: the same for its four lines.
int readheaderF(FILE* f, const t_idstorage** s, std::string* saved)
{
    char version[64], name[1024], classname[256];
    if (fscanf(f, "%63s %1023s %255s", version, name, classname) != 3) return 250;
    if (strcmp(version, k_versionF) != 0) return version[0] == ':' ? 252 : 251;
    int ch;
    while ((ch = fgetc(f)) != EOF && ch != '\n') {}   // end of the class line
    while ((ch = fgetc(f)) != EOF && ch != '\n') {}   // the message
    *saved = name;
    *s = storageof(classname);
    return 0;
}

t_idcommon* loadas(t_cctx* ctx, const char* file, const char* name, bool usepath, bool text)
{
    const std::string path = filename(ctx, nullptr, file, text ? ".ksF" : ".kst", usepath);
    if (path.empty()) return nullptr;
    FILE* f = fopen(path.c_str(), text ? "r" : "rb");
    if (!f) {
        kst_runerror(ctx, 330, path.c_str());
        return nullptr;
    }
    const t_idstorage* s = nullptr;
    std::string saved;
    const int err = text ? readheaderF(f, &s, &saved) : readheader(f, &s, &saved);
    const auto load = s ? (text ? s->loadF : s->load) : nullptr;
    t_idcommon* v = !err && load ? load(ctx, f, saved.c_str(), directoryof(path)) : nullptr;
    fclose(f);
    if (err) kst_runerror(ctx, err);
    else if (!v && !tree_flags(ctx)) kst_runerror(ctx, 330, path.c_str());
    if (v) v->Vupdatename(name);
    return v;
}

} // namespace

t_idcommon* loadidentificateur(t_cctx* ctx, const char* file, const char* name, bool usepath)
{
    return loadas(ctx, file, name, usepath, false);
}

t_idcommon* loadidentificateurF(t_cctx* ctx, const char* file, const char* name, bool usepath)
{
    return loadas(ctx, file, name, usepath, true);
}

void kst_idstorage_registercore()
{
    kst_idstorage_register(IDTYPE_CONSTANTE, {SAVECLASS_CONSTANT, "constante", constant_save, constant_load,
                                              constant_saveF, constant_loadF});
    kst_idstorage_register(IDTYPE_CHAINE, {SAVECLASS_STRING, "chaine", string_save, string_load, string_saveF,
                                           string_loadF});
}
