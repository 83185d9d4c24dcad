// Finding the installation directory: KESTDIR, an absolute path, the current directory, PATH.
#include "interp/kest.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
struct KestDir : ::testing::Test {
    fs::path root;
    std::string savedcwd, savedpath, savedkestdir;
    bool hadkestdir = false;

    void SetUp() override
    {
        char tmpl[] = "/tmp/kest-dir-XXXXXX";
        root = mkdtemp(tmpl);
        fs::create_directories(root / "inst" / "bin");
        std::ofstream(root / "inst" / "bin" / "kest") << "#!/bin/sh\n";
        fs::create_directories(root / "inst" / "bin" / "kestdir.exe");   // a directory, never a hit
        fs::create_directories(root / "other");
        char buf[PATH_MAX];
        savedcwd = getcwd(buf, sizeof buf);
        savedpath = getenv("PATH") ? getenv("PATH") : "";
        if (const char* k = getenv("KESTDIR")) { hadkestdir = true; savedkestdir = k; }
        unsetenv("KESTDIR");
    }
    void TearDown() override
    {
        EXPECT_EQ(chdir(savedcwd.c_str()), 0);
        setenv("PATH", savedpath.c_str(), 1);
        if (hadkestdir) setenv("KESTDIR", savedkestdir.c_str(), 1);
        fs::remove_all(root);
    }
    std::string dir(const fs::path& p) { return p.string() + "/"; }
};
} // namespace

TEST_F(KestDir, EnvironmentVariableWins)
{
    setenv("KESTDIR", "/opt/kest", 1);
    kst_findkestdir((root / "inst" / "bin" / "kest").c_str());
    EXPECT_STREQ(kst_getkestdir(), "/opt/kest/");
    EXPECT_STREQ(kst_getkestdir_sharelib(), "/opt/kest/share/kest/lib/");
    EXPECT_STREQ(kst_getkestdir_sharelibstl(), "/opt/kest/share/kest/libstl/");
}

TEST_F(KestDir, AbsolutePathOfTheExecutable)
{
    kst_findkestdir((root / "inst" / "bin" / "kest").c_str());
    EXPECT_EQ(kst_getkestdir(), dir(root / "inst" / "bin"));
    // A path that names no file is still taken as it stands.
    kst_findkestdir("/somewhere/else/kest");
    EXPECT_STREQ(kst_getkestdir(), "/somewhere/else/");
}

TEST_F(KestDir, RelativeToTheCurrentDirectory)
{
    ASSERT_EQ(chdir((root / "inst").c_str()), 0);
    setenv("PATH", (root / "other").c_str(), 1);
    kst_findkestdir("bin/kest");
    EXPECT_EQ(kst_getkestdir(), dir(fs::canonical(root / "inst") / "bin"));
}

TEST_F(KestDir, SearchedAlongPath)
{
    ASSERT_EQ(chdir((root / "other").c_str()), 0);
    setenv("PATH", ("/nonexistent:" + (root / "inst" / "bin").string() + ":/usr/bin").c_str(), 1);
    kst_findkestdir("kest");
    EXPECT_EQ(kst_getkestdir(), dir(root / "inst" / "bin"));
    // A relative PATH element is made absolute with the current directory.
    ASSERT_EQ(chdir(root.c_str()), 0);
    setenv("PATH", "inst/bin", 1);
    kst_findkestdir("kest");
    EXPECT_EQ(kst_getkestdir(), dir(fs::canonical(root) / "inst" / "bin"));
}

TEST_F(KestDir, NothingFoundGivesTheEmptyDirectory)
{
    ASSERT_EQ(chdir((root / "other").c_str()), 0);
    setenv("PATH", (root / "other").c_str(), 1);
    kst_findkestdir("kestdir");   // only a directory "kestdir.exe" exists on the way
    EXPECT_STREQ(kst_getkestdir(), "");
    EXPECT_STREQ(kst_getkestdir_sharelib(), "share/kest/lib/");
}
