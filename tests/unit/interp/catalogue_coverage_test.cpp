// Both installed catalogues hold a text for every message number the system raises, with the
// same placeholders in both languages and the arguments the callers pass.
#include "interp/catalog.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The numbers in use, per set, as ranges.
const char* const s_info = "9-12, 17-20, 22-25, 27-29, 33-46, 49-52, 54-56, 63-75, 78-97, 99-142, "
                           "162-168, 173-175, 177-185, 213, 214, 217-220";
const char* const s_errors =
    "1-17, 19, 21-38, 40, 42, 45, 48, 51-54, 57-60, 62, 63, 66, 68-73, 76, 77, 79, 82, 85, 86, 88, "
    "90-92, 94, 95, 97-99, 101-109, 112-123, 125-127, 129-135, 138, 141-143, 150-156, 159, 162-169, "
    "171-173, 175, 177-186, 188-192, 194, 195, 197, 200-210, 213-220, 222-263, 266, 268-276, "
    "278-284, 286, 287, 290-296, 299-314, 319-325, 327, 328, 330, 332, 334, 336, 338, 340-346, "
    "348-353, 356-380, 388-398, 400-414, 420, 424-430, 437-456, 458-478, 480-487, 491, 492, "
    "495-499, 503, 505, 507-517, 521, 522, 524, 525, 527-533, 535-537, 539-557, 559-597, 599-602, "
    "604-613, 616-633, 635-642, 644-657, 660-664, 666-683, 685-696, 1031, "
    // fatal errors with catalogue texts
    "375, 431, 432, 434, 435, 436, 1000";
const char* const s_warnings = "2-10, 15-20, 22-30, 32-43";

std::set<int> expand(const char* ranges)
{
    std::set<int> out;
    std::stringstream in(ranges);
    std::string item;
    while (std::getline(in, item, ',')) {
        int a = 0, b = 0;
        if (sscanf(item.c_str(), " %d-%d", &a, &b) == 2)
            for (int i = a; i <= b; i++) out.insert(i);
        else if (sscanf(item.c_str(), " %d", &a) == 1)
            out.insert(a);
    }
    return out;
}

// The printf conversions of a text, e.g. "%s %d" -> {"s", "d"}; "%%" is not a conversion.
std::vector<std::string> conversions(const std::string& text)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') { i++; continue; }
        size_t j = i + 1;
        while (j < text.size() && strchr("-+ #0123456789.*", text[j])) j++;
        std::string conv;
        while (j < text.size() && strchr("hlLqjzt", text[j])) conv += text[j++];
        if (j < text.size()) conv += text[j];
        out.push_back(conv);
        i = j;
    }
    return out;
}

struct Catalogues : ::testing::Test {
    int fr = kst_catbad, en = kst_catbad;
    void SetUp() override
    {
        std::string base = std::string(KEST_SOURCE_DIR) + "/share/locale/";
        fr = kst_catopen((base + "fr/LC_MESSAGES/kest_msgfr.cat").c_str());
        en = kst_catopen((base + "en/LC_MESSAGES/kest_msgen.cat").c_str());
        ASSERT_NE(fr, kst_catbad);
        ASSERT_NE(en, kst_catbad);
    }
    void TearDown() override
    {
        kst_catclose(fr);
        kst_catclose(en);
    }
    const char* text(int h, int set, int n) { return kst_catgets(h, set, n, nullptr); }
};

} // namespace

TEST_F(Catalogues, EveryNumberInUseHasATextInBothLanguages)
{
    struct { int set; const char* ranges; } sets[] = {{1, s_info}, {2, s_errors}, {3, s_warnings}};
    for (auto& s : sets) {
        for (int n : expand(s.ranges)) {
            EXPECT_NE(text(fr, s.set, n), nullptr) << "fr set " << s.set << " number " << n;
            EXPECT_NE(text(en, s.set, n), nullptr) << "en set " << s.set << " number " << n;
        }
    }
}

TEST_F(Catalogues, BothLanguagesUseTheSamePlaceholders)
{
    for (int set = 1; set <= 3; set++) {
        for (int n = 0; n < 2000; n++) {
            const char* f = text(fr, set, n);
            const char* e = text(en, set, n);
            if (!f && !e) continue;
            ASSERT_TRUE(f && e) << "set " << set << " number " << n << " exists in one language only";
            EXPECT_EQ(conversions(f), conversions(e)) << "set " << set << " number " << n;
        }
    }
}

TEST_F(Catalogues, TextsTakeTheArgumentsTheirCallersPass)
{
    using V = std::vector<std::string>;
    struct { int set, number; V args; } cases[] = {
        {2, 4, {"s"}},   {2, 6, {"s"}},   {2, 9, {}},      {2, 10, {"s"}},   {2, 11, {"s"}},
        {2, 38, {}},     {2, 86, {"s"}},  {2, 88, {}},     {2, 92, {"s"}},   {2, 97, {"s"}},
        {2, 98, {"s"}},  {2, 102, {}},    {2, 209, {}},    {2, 254, {"s", "s"}}, {2, 291, {}},
        {2, 307, {"s", "s"}}, {2, 374, {"s"}}, {2, 380, {"s"}}, {2, 436, {"ld", "s"}},
        {2, 474, {"s"}}, {2, 476, {"s"}}, {2, 486, {}},   {2, 535, {"s"}},  {2, 543, {}},
        {2, 544, {"s"}}, {2, 632, {"s", "s"}}, {2, 640, {"s", "d"}},
        {3, 3, {}},      {3, 4, {"s"}},   {3, 5, {}},      {3, 22, {}},     {3, 30, {"s"}},   {3, 39, {"s"}},
        {1, 33, {}},     {1, 34, {"s"}},  {1, 35, {}},     {1, 36, {}},      {1, 37, {"d", "s"}},
        {1, 38, {"s"}},  {1, 39, {}},     {1, 54, {}},     {1, 74, {}},      {1, 141, {"s"}},
    };
    for (auto& c : cases) {
        for (int h : {fr, en}) {
            const char* t = text(h, c.set, c.number);
            ASSERT_NE(t, nullptr) << "set " << c.set << " number " << c.number;
            EXPECT_EQ(conversions(t), c.args) << "set " << c.set << " number " << c.number << ": " << t;
        }
    }
}
