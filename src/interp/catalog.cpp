// Reader of the message catalogue files.
#include "interp/catalog.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct t_catalogue {
    // sets[s][n]: text of message n of set s; absent texts are null.
    std::vector<std::vector<std::unique_ptr<std::string>>> sets;
};

std::vector<std::unique_ptr<t_catalogue>> s_catalogues;

std::string unescape(const char* p, const char* end)
{
    std::string out;
    for (; p < end; p++) {
        if (*p == '\\' && p + 1 < end) {
            switch (p[1]) {
            case '"': out += '"'; p++; continue;
            case '\\': out += '\\'; p++; continue;
            case 'n': out += '\n'; p++; continue;
            case 't': out += '\t'; p++; continue;
            case 'v': out += '\v'; p++; continue;
            default: break;   // any other escape keeps its backslash
            }
        }
        out += *p;
    }
    return out;
}

// Parses a decimal number at p; returns false when there is none.
bool readnumber(const char*& p, long& value)
{
    if (!isdigit(static_cast<unsigned char>(*p))) return false;
    value = 0;
    while (isdigit(static_cast<unsigned char>(*p))) {
        value = value * 10 + (*p - '0');
        if (value > 1000000) return false;
        p++;
    }
    return true;
}

bool parseline(t_catalogue& cat, char* line, long& currentset)
{
    size_t len = strlen(line);
    while (len && (line[len - 1] == '\n' || line[len - 1] == '\r')) line[--len] = 0;
    if (line[0] == '$') {
        if (strncmp(line, "$set", 4) != 0) return true;          // comment
        const char* p = line + 4;
        while (*p == ' ' || *p == '\t') p++;
        long set;
        if (!readnumber(p, set) || set < 1) return false;
        currentset = set;
        if (cat.sets.size() <= static_cast<size_t>(set)) cat.sets.resize(set + 1);
        return true;
    }
    const char* p = line;
    long number = 0;
    if (!readnumber(p, number)) {
        // A line of white space only counts as message 0 with the empty text.
        for (const char* q = line; *q; q++)
            if (!isspace(static_cast<unsigned char>(*q))) return false;
        p = line + len;
    } else if (*p && !isspace(static_cast<unsigned char>(*p))) {
        return false;
    } else if (!*p) {
        return false;      // a number must be followed by white space
    }
    if (currentset < 1) return false;
    while (*p && isspace(static_cast<unsigned char>(*p))) p++;
    const char* end = line + len;
    while (end > p && isspace(static_cast<unsigned char>(end[-1]))) end--;
    auto& set = cat.sets[currentset];
    if (set.size() <= static_cast<size_t>(number)) set.resize(number + 1);
    set[number] = std::make_unique<std::string>(unescape(p, end));
    return true;
}

} // namespace

int kst_catopen(const char* path)
{
    FILE* f = fopen(path, "r");
    if (!f) return kst_catbad;
    auto cat = std::make_unique<t_catalogue>();
    char line[512];
    long currentset = 0;
    bool ok = true;
    while (ok && fgets(line, 511, f)) ok = parseline(*cat, line, currentset);
    fclose(f);
    if (!ok) return kst_catbad;
    for (size_t i = 0; i < s_catalogues.size(); i++) {
        if (!s_catalogues[i]) {
            s_catalogues[i] = std::move(cat);
            return static_cast<int>(i);
        }
    }
    s_catalogues.push_back(std::move(cat));
    return static_cast<int>(s_catalogues.size() - 1);
}

const char* kst_catgets(int handle, int set, int number, const char* deftext)
{
    if (handle < 0 || static_cast<size_t>(handle) >= s_catalogues.size() || !s_catalogues[handle])
        return deftext;
    const auto& sets = s_catalogues[handle]->sets;
    if (set < 0 || static_cast<size_t>(set) >= sets.size()) return deftext;
    if (number < 0 || static_cast<size_t>(number) >= sets[set].size() || !sets[set][number])
        return deftext;
    return sets[set][number]->c_str();
}

void kst_catclose(int handle)
{
    if (handle >= 0 && static_cast<size_t>(handle) < s_catalogues.size()) s_catalogues[handle].reset();
}
