// The scanner: keyword table, words and file names, numbers, strings, comments kept as nodes,
// pass-through modes and token locations.
#include "interp/keywords.h"
#include "treebison.hpp"
#include "treetesthelp.h"

using treetest::FrontEnd;

namespace {
struct t_token {
    int code;
    std::string value;
    t_tree_loc loc;
};

struct Lexer : FrontEnd {
    std::vector<t_token> tokens(const std::string& text)
    {
        treesharedcode_detach(st.code);
        st.code = treesharedcode_new(nullptr, strdup(text.c_str()), static_cast<int>(text.size()), 1);
        st.pos = 0;
        st.stream = nullptr;
        treelex_begin(nullptr, &st, true);
        std::vector<t_token> out;
        for (int guard = 0; guard < 1000; guard++) {
            TREEBISONSTYPE value;
            value.str = nullptr;
            TREEBISONLTYPE loc;
            int code = tree_yylex(&value, &loc, st.scanner);
            if (code == 0) break;
            bool hasvalue = code == IDENT || code == TYPENAME || code == FILENAME || code == INTEGER ||
                            code == REAL || code == STRING || code == TEXTLINE;
            out.push_back({code, hasvalue ? value.str : "", loc});
            if (hasvalue) free(value.str);
        }
        return out;
    }
    std::vector<int> codes(const std::string& text)
    {
        std::vector<int> c;
        for (auto& t : tokens(text)) c.push_back(t.code);
        return c;
    }
    int token(const char* word) { return kst_keywordtable()[kst_lookupkeyword(word, strlen(word))].token; }
};
} // namespace

TEST(KeywordTable, HasAllEntriesSortedSoBinarySearchFindsEach)
{
    const t_keyword* k = kst_keywordtable();
    for (int i = 1; i < kst_keywordcount; i++) EXPECT_LT(strcmp(k[i - 1].text, k[i].text), 0) << k[i].text;
    for (int i = 0; i < kst_keywordcount; i++) EXPECT_EQ(kst_lookupkeyword(k[i].text, strlen(k[i].text)), i);
    EXPECT_STREQ(k[0].text, "COMPLEX");
    EXPECT_STREQ(k[kst_keywordcount - 1].text, "xyz_to_ell");
    EXPECT_EQ(kst_lookupkeyword("sinus", 5), -1);
    EXPECT_EQ(kst_lookupkeyword("si", 2), -1);          // a prefix of a keyword is not one
    EXPECT_EQ(kst_lookupkeyword("log1", 4), -1);
    EXPECT_EQ(kst_lookupkeyword("Sin", 3), -1);         // case-sensitive
}

TEST(KeywordTable, PairsShareATokenAndLookalikesDoNot)
{
    auto tok = [](const char* w) { return kst_keywordtable()[kst_lookupkeyword(w, strlen(w))].token; };
    EXPECT_EQ(tok("i"), tok("I"));
    EXPECT_EQ(tok("pi"), tok("PI"));
    EXPECT_EQ(tok("quit"), tok("exit"));
    EXPECT_EQ(tok("macro"), tok("MACRO"));
    EXPECT_NE(tok("max"), tok("MAX"));
    EXPECT_NE(tok("min"), tok("MIN"));
    EXPECT_NE(tok("mod"), tok("Mod"));
    EXPECT_NE(tok("real"), tok("REAL"));
    // 229 entries, four shared pairs: 225 distinct tokens.
    std::vector<int> distinct;
    for (int i = 0; i < kst_keywordcount; i++) {
        int t = kst_keywordtable()[i].token;
        if (std::find(distinct.begin(), distinct.end(), t) == distinct.end()) distinct.push_back(t);
        EXPECT_LE(kst_findkeyword(t), i);               // the first entry of the token
    }
    EXPECT_EQ(distinct.size(), 225u);
    EXPECT_STREQ(kst_keywordtable()[kst_findkeyword(tok("exit"))].text, "exit");
    EXPECT_STREQ(kst_keywordtable()[kst_findkeyword(tok("I"))].text, "I");
    EXPECT_EQ(kst_findkeyword(IDENT), -1);
}

TEST(KeywordTable, CompletionListIsNullTerminated)
{
    const char* const* words = kst_get_keywords();
    int n = 0;
    while (words[n]) n++;
    EXPECT_EQ(n, kst_keywordcount);
    EXPECT_STREQ(words[2], "I");
}

TEST_F(Lexer, WordsTakePrimesAndKeywordsCarryNoValue)
{
    auto t = tokens("x' y''z _a1 sin");
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].code, IDENT);
    EXPECT_EQ(t[0].value, "x'");
    EXPECT_EQ(t[1].value, "y''z");
    EXPECT_EQ(t[2].value, "_a1");
    EXPECT_EQ(t[3].code, token("sin"));
}

TEST_F(Lexer, DotIsAnOperatorOnlyBeforeWhiteSpaceAndInsideAWordMakesAFileName)
{
    EXPECT_EQ(codes("a . b"), (std::vector<int>{IDENT, DOTOP, IDENT}));
    EXPECT_EQ(codes("a. b"), (std::vector<int>{IDENT, DOTOP, IDENT}));
    auto t = tokens("a.b fichier.t x.dat.gz");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].code, FILENAME);
    EXPECT_EQ(t[0].value, "a.b");
    EXPECT_EQ(t[1].value, "fichier.t");
    EXPECT_EQ(t[2].value, "x.dat.gz");
    EXPECT_EQ(codes("a .b"), (std::vector<int>{IDENT, '.', IDENT}));
}

TEST_F(Lexer, RealLiteralsIncludingFortranExponents)
{
    auto t = tokens("1..5 1.5d3 1.5D-3 1e5 .5 1. 12 2.5E+7");
    std::vector<std::pair<int, std::string>> got;
    for (auto& x : t) got.push_back({x.code, x.value});
    std::vector<std::pair<int, std::string>> want = {
        {REAL, "1."}, {REAL, ".5"}, {REAL, "1.5E3"}, {REAL, "1.5E-3"}, {REAL, "1e5"},
        {REAL, ".5"}, {REAL, "1."}, {INTEGER, "12"}, {REAL, "2.5E+7"}};
    EXPECT_EQ(got, want);
    EXPECT_EQ(codes("1e"), (std::vector<int>{INTEGER, IDENT}));   // no digits, no exponent
}

TEST_F(Lexer, StringsDoubleTheirQuotesAndMaySpanLines)
{
    auto t = tokens("\"a\"\"b\" \"\" \"x\ny\"");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].code, STRING);
    EXPECT_EQ(t[0].value, "a\"b");
    EXPECT_EQ(t[1].value, "");
    EXPECT_EQ(t[2].value, "x\ny");
    EXPECT_EQ(t[2].loc.first_line, 1);
    EXPECT_EQ(t[2].loc.last_line, 2);
    EXPECT_EQ(t[2].loc.first_column, 10);
    EXPECT_EQ(t[2].loc.last_column, 14);
}

TEST_F(Lexer, UnterminatedStringIsAnInvalidToken)
{
    auto t = tokens("x = \"abc");
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[2].code, TREEBISONUNDEF);
}

TEST_F(Lexer, OperatorsTakeTheLongestMatch)
{
    EXPECT_EQ(codes("** ^ &* && & || == != <= >= < > ... @"),
              (std::vector<int>{POW, POW, LIEMUL, ANDAND, '&', OROR, EQ, NE, LE, GE, LT, GT, ELLIPSIS, '@'}));
    EXPECT_EQ(codes("a**b*c"), (std::vector<int>{IDENT, POW, IDENT, '*', IDENT}));
    EXPECT_EQ(codes("%;$?!"), (std::vector<int>{'%', ';', '$', '?', '!'}));
}

TEST_F(Lexer, NestedBlockCommentIsOneCommentNode)
{
    auto t = tokens("/* a /* b */ c */ x");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].value, "x");
    EXPECT_EQ(dump(st.comment), "list(comment(\" a /* b */ c \"))");
    EXPECT_EQ(treelex_incomment(&st), 0);
}

TEST_F(Lexer, CommentsKeepDirectivesAndActiveComments)
{
    tokens("// plain\n//!kest omp parallel for\n//!kest keep\n/*!kest omp for*/ x");
    EXPECT_EQ(dump(st.comment),
              "list(comment(\" plain\"), omp(\"!kest omp parallel for\"), active(\"!kest keep\"), "
              "omp(\"!kest omp for\"))");
}

TEST_F(Lexer, TextEndingInsideACommentLeavesTheDepth)
{
    tokens("x /* a /* b */");
    EXPECT_EQ(treelex_incomment(&st), 1);
    treelex_resetmode(&st);
    EXPECT_EQ(treelex_incomment(&st), 0);
}

TEST_F(Lexer, MapleModePassesLinesUntilALineBeginningWithEnd)
{
    auto t = tokens("maple\nx := end;\n  end; y\nz");
    std::vector<std::pair<int, std::string>> got;
    for (auto& x : t) got.push_back({x.code, x.value});
    std::vector<std::pair<int, std::string>> want = {
        {token("maple"), ""}, {TEXTLINE, "\n"}, {TEXTLINE, "x := end;"}, {TEXTLINE, "\n"},
        {';', ""}, {IDENT, "y"}, {IDENT, "z"}};
    EXPECT_EQ(got, want);
    // The ";" given back keeps its own place in the text.
    EXPECT_EQ(t[4].loc.first_column, 21);
}

TEST_F(Lexer, GnuplotModeAlsoEndsOnGnuplotEnd)
{
    auto t = tokens("gnuplot\nplot sin(x) # end;\ngnuplot_end $\n");
    std::vector<int> want = {token("gnuplot"), TEXTLINE, TEXTLINE, TEXTLINE, '$'};
    std::vector<int> got;
    for (auto& x : t) got.push_back(x.code);
    EXPECT_EQ(got, want);
    EXPECT_EQ(t[2].value, "plot sin(x) # end;");
    EXPECT_EQ(treelex_getmode(&st), PROMPT_KEST);
}

TEST_F(Lexer, ModeIsReportedForThePrompt)
{
    tokens("mathematica\nx");
    EXPECT_EQ(treelex_getmode(&st), PROMPT_MATHEMATICA);
    treelex_resetmode(&st);
    EXPECT_EQ(treelex_getmode(&st), PROMPT_KEST);
}

TEST_F(Lexer, ImaginaryUnitIsAKeywordInBothCases)
{
    EXPECT_EQ(codes("i I"), (std::vector<int>{token("i"), token("i")}));
}

TEST_F(Lexer, LocationsAreOffsetsWithInclusiveEndsAndLineNumbers)
{
    auto t = tokens("ab + c\n  d;");
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].loc.first_line, 1);
    EXPECT_EQ(t[0].loc.first_column, 0);
    EXPECT_EQ(t[0].loc.last_column, 1);
    EXPECT_EQ(t[1].loc.first_column, 3);
    EXPECT_EQ(t[1].loc.last_column, 3);
    EXPECT_EQ(t[3].loc.first_line, 2);
    EXPECT_EQ(t[3].loc.first_column, 9);
    // A token on a later line of the statement quotes its own line.
    EXPECT_EQ(t[3].loc.start_offset, 7);
    EXPECT_EQ(t[0].loc.start_offset, 0);
}

TEST_F(Lexer, DeclaredTypeNamesComeFromTheTypeTable)
{
    treelex_settypequery([](const char* w) { return strcmp(w, "point") == 0; });
    auto t = tokens("point p");
    treelex_settypequery(nullptr);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].code, TYPENAME);
    EXPECT_EQ(t[0].value, "point");
    EXPECT_EQ(t[1].code, IDENT);
}

TEST_F(Lexer, ModesStackAndPopBackToWhatWasUnderneath)
{
    tokens("");
    EXPECT_TRUE(treeisyylex_in_keststate(&st));
    treeyylex_set_maplestate(&st);
    treeyylex_set_commentairestate(&st);
    EXPECT_TRUE(treeisyylex_in_commentairestate(&st));
    EXPECT_EQ(treelex_getmode(&st), PROMPT_MAPLE);    // the prompt looks through the comment
    treeyylex_set_popstate(&st);
    EXPECT_TRUE(treeisyylex_in_maplestate(&st));
    treeyylex_set_popstate(&st);
    treeyylex_set_popstate(&st);                      // popping the bottom mode changes nothing
    EXPECT_TRUE(treeisyylex_in_keststate(&st));
    treeyylex_set_gracestate(&st);
    EXPECT_EQ(treelex_getmode(&st), PROMPT_GRACE);
    EXPECT_FALSE(treeisyylex_in_gnuplotstate(&st));
}

TEST_F(Lexer, PendingCommentsAreTakenAndReplaced)
{
    tokens("// a\nx");
    treeabs* taken = treeyylex_get_commentaire(&st);
    EXPECT_EQ(dump(taken), "list(comment(\" a\"))");
    EXPECT_EQ(st.comment, nullptr);
    EXPECT_EQ(treeyylex_set_commentaire(&st, taken), nullptr);
    EXPECT_EQ(st.comment, taken);
}
