// Finding the installation directory from KESTDIR, the executable's path, the current directory
// or PATH; the shared library and library macro directories hang below it.
#include "interp/kest.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string s_kestdir, s_sharelib, s_sharelibstl;

bool isregularfile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isabsolute(const char* p)
{
    return p[0] == '/' || p[0] == '\\' || (isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':');
}

std::string dirof(const std::string& file)
{
    size_t cut = file.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : file.substr(0, cut);
}

std::string currentdir()
{
    char buf[521];
    if (!getcwd(buf, sizeof buf - 1)) return "/";
    std::string d = buf;
    return d + "/";
}
} // namespace

void kst_findkestdir(const char* argv0)
{
    std::string found;
    bool viafile = false;
    std::string file;
    if (const char* env = getenv("KESTDIR")) {
        found = std::string(env) + "/";
    } else if (argv0 && *argv0) {
        if (isabsolute(argv0)) {
            file = argv0;
        } else if (isregularfile(currentdir() + argv0)) {
            file = currentdir() + argv0;
        } else if (const char* path = getenv("PATH")) {
            std::string all = path;
            size_t start = 0;
            while (start <= all.size() && file.empty()) {
                size_t end = all.find(':', start);
                if (end == std::string::npos) end = all.size();
                std::string elem = all.substr(start, end - start);
                for (const char* suffix : {"", ".exe"}) {
                    std::string cand = elem + "/" + argv0 + suffix;
                    if (isregularfile(cand)) {
                        file = isabsolute(cand.c_str()) ? cand : currentdir() + cand;
                        break;
                    }
                }
                start = end + 1;
            }
        }
        if (!file.empty()) {
            viafile = true;
            found = dirof(file) + "/";
        }
    }
    if (viafile) {
        // Reading the status follows a link to the real file; the result is not used further.
        struct stat st;
        (void)stat(file.c_str(), &st);
    }
    s_kestdir = found;
    s_sharelib = found + "share/kest/lib/";
    s_sharelibstl = found + "share/kest/libstl/";
}

const char* kst_getkestdir() { return s_kestdir.c_str(); }
const char* kst_getkestdir_sharelib() { return s_sharelib.c_str(); }
const char* kst_getkestdir_sharelibstl() { return s_sharelibstl.c_str(); }
