// The catalogue file format: sets, comments, escapes, malformed lines, look-ups out of range.
#include "interp/catalog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string writefile(const std::string& content)
{
    char name[] = "/tmp/kest-cat-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
    close(fd);
    return name;
}

int openfrom(const std::string& content)
{
    std::string path = writefile(content);
    int handle = kst_catopen(path.c_str());
    unlink(path.c_str());
    return handle;
}

} // namespace

TEST(Catalogue, SetsCommentsAndEscapes)
{
    int h = openfrom("$ a comment before any set\n"
                     "$set 2\n"
                     "1 first text   \n"
                     "$ another comment\n"
                     "7\tquote \\\" backslash \\\\ newline \\n tab \\t vtab \\v other \\q\n"
                     "$set 5\n"
                     "3 in set five\n"
                     "   \n");
    ASSERT_NE(h, kst_catbad);
    EXPECT_STREQ(kst_catgets(h, 2, 1, "def"), "first text");          // trailing blanks removed
    EXPECT_STREQ(kst_catgets(h, 2, 7, "def"), "quote \" backslash \\ newline \n tab \t vtab \v other \\q");
    EXPECT_STREQ(kst_catgets(h, 5, 3, "def"), "in set five");
    EXPECT_STREQ(kst_catgets(h, 5, 0, "def"), "");                     // a blank line is number 0
    kst_catclose(h);
}

TEST(Catalogue, LookupsOutsideTheTablesGiveTheDefault)
{
    int h = openfrom("$set 1\n4 four\n");
    ASSERT_NE(h, kst_catbad);
    EXPECT_STREQ(kst_catgets(h, 1, 3, "def"), "def");     // inside the table, no text
    EXPECT_STREQ(kst_catgets(h, 1, 5, "def"), "def");     // past the table
    EXPECT_STREQ(kst_catgets(h, 2, 4, "def"), "def");     // unknown set
    EXPECT_STREQ(kst_catgets(h, -1, 4, "def"), "def");
    EXPECT_STREQ(kst_catgets(kst_catbad, 1, 4, "def"), "def");
    kst_catclose(h);
    EXPECT_STREQ(kst_catgets(h, 1, 4, "def"), "def");     // closed
}

TEST(Catalogue, OneMalformedLineMakesTheFileUnreadable)
{
    EXPECT_EQ(openfrom("$set 1\n1 ok\nno number here\n"), kst_catbad);
    EXPECT_EQ(openfrom("$set 1\n12abc text\n"), kst_catbad);          // number glued to text
    EXPECT_EQ(openfrom("$set\n1 text\n"), kst_catbad);                // set without number
    EXPECT_EQ(openfrom("1 text before any set\n"), kst_catbad);
    EXPECT_EQ(openfrom("$set 1\n5\n"), kst_catbad);                   // number without white space
    EXPECT_EQ(kst_catopen("/nonexistent/kest/catalogue.cat"), kst_catbad);
}

TEST(Catalogue, TheTwoInstalledCataloguesAreReadable)
{
    for (const char* lang : {"fr", "en"}) {
        std::string path = std::string(KEST_SOURCE_DIR) + "/share/locale/" + lang + "/LC_MESSAGES/kest_msg" + lang + ".cat";
        int h = kst_catopen(path.c_str());
        EXPECT_NE(h, kst_catbad) << path;
        kst_catclose(h);
    }
}
