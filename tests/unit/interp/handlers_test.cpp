// The start-up check that every node kind the parser or the macro optimiser builds has an
// evaluator handler: the lists it checks cover what those sources build, a complete build passes
// it, and a build with a handler missing ends at start-up naming the kind.
#include "interp/error.h"
#include "interp/kest.h"
#include "interp/treeabs.h"
#include "interp/treeint.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string readsource(const std::string& relative)
{
    std::ifstream in(std::string(KEST_SOURCE_DIR) + "/" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The node kinds declared in treeabs.h: enumerator name -> kind index.
std::map<std::string, int> declaredkinds()
{
    std::map<std::string, int> out;
    const std::string header = readsource("src/interp/treeabs.h");
    std::regex decl("(TREE_[A-Z_]+) = TREEK\\((\\d+)\\)");
    for (auto it = std::sregex_iterator(header.begin(), header.end(), decl); it != std::sregex_iterator(); ++it)
        out[(*it)[1]] = std::stoi((*it)[2]);
    return out;
}

std::set<int> listed(const etreeabs* kinds, int count)
{
    std::set<int> out;
    for (int i = 0; i < count; i++) out.insert(tree_kindindex(kinds[i]));
    return out;
}

// Starts a session in a fresh directory (the child of a death test).
void startsession()
{
    char dir[] = "/tmp/kest-kinds-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) exit(3);
    setenv("HOME", dir, 1);
    setenv("KESTDIR", KEST_BUILD_DIR, 1);
    kst_findkestdir("kest");
    testing::internal::CaptureStdout();
    kest_init(1, 0);
    testing::internal::GetCapturedStdout();
}

} // namespace

TEST(NodeKinds, EveryKindTheParserOrTheOptimiserBuildsIsListedOnce)
{
    const std::map<std::string, int> declared = declaredkinds();
    ASSERT_GT(declared.size(), 50u);
    int ne = 0, np = 0;
    const etreeabs* e = tree_evaluatedkinds(&ne);
    const etreeabs* p = tree_partkinds(&np);
    const std::set<int> evaluated = listed(e, ne);
    const std::set<int> parts = listed(p, np);
    EXPECT_EQ(static_cast<int>(evaluated.size()), ne);
    for (int k : parts) EXPECT_EQ(evaluated.count(k), 0u) << "kind " << k << " is both run and a part";
    // Comments are built by the scanner; the rest by the grammar and the optimiser.
    const std::string sources = readsource("src/interp/treebison.y") + readsource("src/interp/treeabsopt.cpp") +
                                readsource("src/interp/treelex.l");
    std::regex use("TREE_[A-Z_]+");
    int seen = 0;
    for (auto it = std::sregex_iterator(sources.begin(), sources.end(), use); it != std::sregex_iterator(); ++it) {
        auto d = declared.find(it->str());
        if (d == declared.end() || it->str() == "TREE_KEYWORD_FIRST" || it->str() == "TREE_KIND_LAST") continue;
        seen++;
        EXPECT_TRUE(evaluated.count(d->second) || parts.count(d->second)) << it->str() << " is built but not listed";
    }
    EXPECT_GT(seen, 40);
    // The named constructors build kinds of their own.
    EXPECT_TRUE(evaluated.count(tree_kindindex(TREE_INFINITE)));
    EXPECT_TRUE(evaluated.count(tree_kindindex(TREE_SUM_FMA)) && evaluated.count(tree_kindindex(TREE_RETURN_FMA)));
}

TEST(NodeKindsDeath, ACompleteBuildPassesTheStartUpCheck)
{
    EXPECT_EXIT(
        {
            startsession();
            exit(kst_tree_missinghandler() == -1 ? 0 : 5);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(NodeKindsDeath, AKindLeftWithoutHandlerStopsTheStartUpNamingIt)
{
    EXPECT_EXIT(
        {
            kst_tree_sethandler(TREE_SUM_FMA, nullptr);
            startsession();
            exit(0);   // not reached: the check ends the process
        },
        ::testing::ExitedWithCode(1), "dans la fonction kst_tree_checkhandlers\nInformations systeme : aucun traitement "
                                      "pour le noeud sumfma \\(85\\)");
}

TEST(NodeKindsDeath, AVectorLiteralWithoutItsRoomIsCaughtToo)
{
    EXPECT_EXIT(
        {
            startsession();
            kst_tree_sethandler(TREE_VECTOR, nullptr);
            kst_tree_checkhandlers();
            exit(0);
        },
        ::testing::ExitedWithCode(1), "aucun traitement pour le noeud vector \\(65\\)");
}
