// The grammar: statements and their terminators, operator precedence, conditions, blocks and
// comments, syntax errors and their locations, and interactive parsing one statement per turn.
#include "interp/keywords.h"
#include "treetesthelp.h"

using treetest::FrontEnd;
using treetest::g_errors;
using treetest::g_lines;
using treetest::g_prompts;

namespace {
using Parser = FrontEnd;
}

TEST_F(Parser, SemicolonDisplaysAndDollarRunsSilently)
{
    ASSERT_EQ(parsewhole("a = b$ a = b; a;"), 0);
    EXPECT_EQ(dump(st.tree), "list(stmt(null, cmd(assign(id(\"a\"), id(\"b\")))), "
                             "stmt(null, disp(assign(id(\"a\"), id(\"b\")))), stmt(null, disp(id(\"a\"))))");
}

TEST_F(Parser, EmptyTextAndEmptyStatementsGiveNoTree)
{
    EXPECT_EQ(parsewhole(""), 0);
    EXPECT_EQ(st.tree, nullptr);
    EXPECT_EQ(parsewhole(" ; $ // only a comment\n"), 0);
    EXPECT_EQ(st.tree, nullptr);
}

TEST_F(Parser, BinaryOperatorsAreLeftAssociative)
{
    EXPECT_EQ(body("x = a - b - c;"), "assign(id(\"x\"), sub(sub(id(\"a\"), id(\"b\")), id(\"c\")))");
    EXPECT_EQ(body("x = 2**3**2;"), "assign(id(\"x\"), pow(pow(int(\"2\"), int(\"3\")), int(\"2\")))");
    EXPECT_EQ(body("x = a / b * c;"), "assign(id(\"x\"), mul(div(id(\"a\"), id(\"b\")), id(\"c\")))");
}

TEST_F(Parser, ExteriorProductBindsLikeProduct)
{
    EXPECT_EQ(body("x = a + b & c;"), "assign(id(\"x\"), add(id(\"a\"), extmul(id(\"b\"), id(\"c\"))))");
    EXPECT_EQ(body("x = a & b * c;"), "assign(id(\"x\"), mul(extmul(id(\"a\"), id(\"b\")), id(\"c\")))");
    EXPECT_EQ(body("x = a . b &* c;"), "assign(id(\"x\"), liemul(dotmul(id(\"a\"), id(\"b\")), id(\"c\")))");
}

TEST_F(Parser, UnaryMinusSitsBetweenProductAndPower)
{
    EXPECT_EQ(body("-a*b;"), "mul(neg(id(\"a\")), id(\"b\"))");
    EXPECT_EQ(body("-a**2;"), "neg(pow(id(\"a\"), int(\"2\")))");
    EXPECT_EQ(body("a*-b;"), "mul(id(\"a\"), neg(id(\"b\")))");
    EXPECT_EQ(body("a**-b;"), "pow(id(\"a\"), neg(id(\"b\")))");
    EXPECT_EQ(body("a^-b*c;"), "mul(pow(id(\"a\"), neg(id(\"b\"))), id(\"c\"))");
    EXPECT_EQ(body("+a;"), "id(\"a\")");
}

TEST_F(Parser, OperandsOfEveryForm)
{
    EXPECT_EQ(body("T[1:3, 1:n:2] = {a, b};"),
              "assign(index(id(\"T\"), args(range(int(\"1\"), int(\"3\")), range(int(\"1\"), id(\"n\"), int(\"2\")))), "
              "poisson(id(\"a\"), id(\"b\")))");
    EXPECT_EQ(body("v = [1, 2.5, \"s\"];"), "assign(id(\"v\"), vector(int(\"1\"), real(\"2.5\"), str(\"s\")))");
    EXPECT_EQ(body("p@x = I*pi;"), "assign(field(id(\"p\"), \"x\"), mul(I, PI))");
    EXPECT_EQ(body("y = %m[a, 1] + %n + o%f[2] + o%g;"),
              "assign(id(\"y\"), add(add(add(call%(\"m\", args(id(\"a\"), int(\"1\"))), call%(\"n\", null)), "
              "method%(id(\"o\"), \"f\", args(int(\"2\")))), method%(id(\"o\"), \"g\", null)))");
    EXPECT_EQ(body("y = sin(x) + f(x, y);"),
              "assign(id(\"y\"), add(sin(id(\"x\")), call(\"f\", args(id(\"x\"), id(\"y\")))))");
    EXPECT_EQ(body("_modenum = NUMDBL;"), "_modenum(1, kw(8))");
}

TEST_F(Parser, SumAndProdAreExpressionsWithABody)
{
    EXPECT_EQ(body("s = sum k = 1 to n { return k*x; };"),
              "assign(id(\"s\"), sum(\"k\", int(\"1\"), id(\"n\"), null, "
              "list(stmt(null, disp(return(mul(id(\"k\"), id(\"x\"))))))))");
    EXPECT_EQ(body("s = prod k = 1 to 9 step 2 { return k; };"),
              "assign(id(\"s\"), prod(\"k\", int(\"1\"), int(\"9\"), int(\"2\"), "
              "list(stmt(null, disp(return(id(\"k\")))))))");
}

TEST_F(Parser, ControlStatements)
{
    EXPECT_EQ(body("if (a == b) then { c = 1; } else if (a < b) then { c = 2$ } else { };"),
              "if(eq(id(\"a\"), id(\"b\")), list(stmt(null, disp(assign(id(\"c\"), int(\"1\"))))), "
              "if(lt(id(\"a\"), id(\"b\")), list(stmt(null, cmd(assign(id(\"c\"), int(\"2\"))))), list))");
    EXPECT_EQ(body("while (x >= 1) do { x = x - 1; };"),
              "while(ge(id(\"x\"), int(\"1\")), list(stmt(null, disp(assign(id(\"x\"), sub(id(\"x\"), int(\"1\")))))))");
    EXPECT_EQ(body("for j = 3 to 1 step -1 { };"), "for(\"j\", int(\"3\"), int(\"1\"), neg(int(\"1\")), list)");
    EXPECT_EQ(body("switch (a) { case 1, 2 : { b = 1; }; case 3 : { }; else : { b = 0; } };"),
              "switch(id(\"a\"), list(case(args(int(\"1\"), int(\"2\")), list(stmt(null, disp(assign(id(\"b\"), "
              "int(\"1\")))))), case(args(int(\"3\")), list)), list(stmt(null, disp(assign(id(\"b\"), int(\"0\"))))))");
    EXPECT_EQ(body("try { error(\"x\"); } catch { };"),
              "try(list(stmt(null, disp(error(str(\"x\"))))), list)");
}

TEST_F(Parser, DefinitionsAndDeclarations)
{
    EXPECT_EQ(body("macro f[a, b] { return a*b; };"),
              "macro(\"f\", params(id(\"a\"), id(\"b\")), list(stmt(null, disp(return(mul(id(\"a\"), id(\"b\")))))))");
    EXPECT_EQ(body("macro g { };"), "macro(\"g\", null, list)");
    EXPECT_EQ(body("macro point@norm[...] { };"), "method(\"point\", \"norm\", params(ellipsis), list)");
    EXPECT_EQ(body("struct point { x; y = 0; };"),
              "struct(\"point\", list(fielddef(\"x\"), fielddef(\"y\", int(\"0\"))))");
    EXPECT_EQ(body("private a, b;"), "private(\"a\", \"b\")");
    EXPECT_EQ(body("include fichier.t;"), "include(\"fichier.t\")");
    EXPECT_EQ(body("include \"dir/f.t\";"), "include(\"dir/f.t\")");
    EXPECT_EQ(body("crevar x, y;"), "crevar(id(\"x\"), id(\"y\"))");
    EXPECT_EQ(body("dim T[1:3];"), "dim(index(id(\"T\"), args(range(int(\"1\"), int(\"3\")))))");
    EXPECT_EQ(body("delete _ALL;"), "delete(kw(17))");
    EXPECT_EQ(body("help sin;"), "help(\"sin\")");
    EXPECT_EQ(body("help maple;"), "help(\"maple\")");   // names the mode without opening it
    EXPECT_EQ(body("? gnuplot;"), "help(\"gnuplot\")");
    EXPECT_EQ(body("?;"), "help");
    EXPECT_EQ(body("quit;"), "quit");
    EXPECT_EQ(body("exit$"), "quit");
    EXPECT_EQ(body("stop;"), "stop");
    EXPECT_EQ(body("reset;"), "reset");
}

TEST_F(Parser, EveryKeywordCanBeAskedAbout)
{
    for (int k = 0; k < kst_keywordcount; k++) {
        std::string word = kst_keywordtable()[k].text;
        EXPECT_EQ(body("help " + word + ";"), "help(\"" + word + "\")") << word;
    }
}

TEST_F(Parser, GlobalOptions)
{
    EXPECT_EQ(body("_affc = 3;"), "_affc(1, int(\"3\"))");
    EXPECT_EQ(body("_info on;"), "_info(2)");
    EXPECT_EQ(body("_echo off;"), "_echo(3)");
    EXPECT_EQ(body("_affc;"), "_affc(0)");
    EXPECT_EQ(body("_language = \"en\";"), "_language(1, str(\"en\"))");
}

TEST_F(Parser, PassThroughLinesBelongToTheStatementThatOpenedTheMode)
{
    EXPECT_EQ(body("maple\nx := end;\n  end;"), "maple(\"\n\", \"x := end;\", \"\n\")");
    EXPECT_EQ(body("gnuplot\nplot x\ngnuplot_end$"), "gnuplot(\"\n\", \"plot x\", \"\n\")");
}

TEST_F(Parser, ConditionsNeedAComparisonAndChainsDoNotMix)
{
    EXPECT_NE(parsewhole("if (a) then { };"), 0);
    EXPECT_NE(parsewhole("if (a==b && c<d || e>f) then { };"), 0);
    EXPECT_NE(parsewhole("while (a==b || c<d && e>f) do { };"), 0);
    EXPECT_EQ(body("if ((a==b && c<d) || e>f) then { };"),
              "if(or(and(eq(id(\"a\"), id(\"b\")), lt(id(\"c\"), id(\"d\"))), gt(id(\"e\"), id(\"f\"))), list, null)");
    EXPECT_EQ(body("if (a==b && (c<d || e>f)) then { };"),
              "if(and(eq(id(\"a\"), id(\"b\")), or(lt(id(\"c\"), id(\"d\")), gt(id(\"e\"), id(\"f\")))), list, null)");
    EXPECT_EQ(body("if (a==b && c!=d && e<=f) then { };"),
              "if(and(and(eq(id(\"a\"), id(\"b\")), ne(id(\"c\"), id(\"d\"))), le(id(\"e\"), id(\"f\"))), list, null)");
    EXPECT_EQ(body("if ((a+b)*c == d) then { };"),
              "if(eq(mul(add(id(\"a\"), id(\"b\")), id(\"c\")), id(\"d\")), list, null)");
    EXPECT_NE(parsewhole("x = a == b;"), 0);      // no conditions outside if and while
}

TEST_F(Parser, RejectedFormsReportError291AtTheOffendingToken)
{
    EXPECT_NE(parsewhole("x = f(a)[2];"), 0);
    EXPECT_EQ(Erreur_Execution, 1);
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_EQ(g_errors[0].loc.first_column, 8);   // the "["
    EXPECT_EQ(g_errors[0].loc.last_column, 8);
    EXPECT_EQ(g_errors[0].loc.start_offset, 0);
    EXPECT_NE(errors().find("KEST[ 1 ]"), std::string::npos);

    g_errors.clear();
    EXPECT_NE(parsewhole("a = 1;\n\n  i = 2;"), 0);
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_EQ(g_errors[0].loc.first_line, 3);
    EXPECT_EQ(g_errors[0].loc.first_column, 12);  // the "=" after the imaginary unit
    EXPECT_EQ(g_errors[0].loc.start_offset, 10);  // the statement begins after the blank line

    g_errors.clear();
    EXPECT_NE(parsewhole("x = a.b;"), 0);         // a file name is not an operand
    EXPECT_NE(parsewhole("x = 1..5;"), 0);
    EXPECT_NE(parsewhole("{ a = 1; };"), 0);      // a bare block is not a statement
}

TEST_F(Parser, UnfinishedStatementAtTheEndOfATextIsASyntaxError)
{
    EXPECT_NE(parsewhole("if (a==b) then { c=1; } else { c=2; }"), 0);
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_NE(parsewhole("a = 1"), 0);
    EXPECT_NE(parsewhole("x = \"open"), 0);
}

TEST_F(Parser, TextEndingInsideACommentFailsWithoutASyntaxError)
{
    EXPECT_NE(parsewhole("a = 1; /* open /* nested */"), 0);
    EXPECT_GT(treelex_incomment(&st), 0);
    EXPECT_TRUE(g_errors.empty());
    EXPECT_EQ(st.tree, nullptr);
    EXPECT_NE(parsewhole("a = /* open"), 0);
    EXPECT_TRUE(g_errors.empty());
    treelex_resetmode(&st);
    EXPECT_EQ(treelex_incomment(&st), 0);
    EXPECT_EQ(parsewhole("a = 1;"), 0);
}

TEST_F(Parser, CommentsAttachToTheFollowingStatementAndStayInsideBlocks)
{
    ASSERT_EQ(parsewhole("// one\na = 1; /* two */ b = 2;\n"
                         "// three\nif (a==b) then { // four\n c = 1; // dropped\n};"),
              0);
    EXPECT_EQ(dump(tree_child(tree_child(st.tree, 0), 0)), "list(comment(\" one\"))");
    EXPECT_EQ(dump(tree_child(tree_child(st.tree, 1), 0)), "list(comment(\" two \"))");
    EXPECT_EQ(st.tree->loc.first_column, 7);      // the program spans its statements
    EXPECT_EQ(st.tree->loc.last_column, 85);      // the final ";"
    treeabs* ifstmt = tree_child(st.tree, 2);
    EXPECT_EQ(dump(tree_child(ifstmt, 0)), "list(comment(\" three\"))");
    treeabs* block = tree_child(tree_child(tree_child(ifstmt, 1), 0), 1);
    EXPECT_EQ(dump(tree_child(tree_child(block, 0), 0)), "list(comment(\" four\"))");
}

TEST_F(Parser, EmptyStatementLeavesItsCommentsToTheNextOne)
{
    ASSERT_EQ(parsewhole("/* c */ ; a;"), 0);
    EXPECT_EQ(dump(st.tree), "list(stmt(list(comment(\" c \")), disp(id(\"a\"))))");
    // Comments after the last statement belong to none and are not left pending.
    ASSERT_EQ(parsewhole("a; // trailing\n"), 0);
    EXPECT_EQ(st.comment, nullptr);
    g_lines = {"/* c */ ;\n"};
    ASSERT_EQ(parseturn(), 0);
    EXPECT_EQ(st.tree, nullptr);
    EXPECT_EQ(st.comment, nullptr);
}

TEST_F(Parser, StatementLocationsSpanTheirText)
{
    ASSERT_EQ(parsewhole("a = 1;\n  bb = c + 2$"), 0);
    treeabs* second = tree_child(st.tree, 1);
    EXPECT_EQ(second->loc.first_line, 2);
    EXPECT_EQ(second->loc.start_offset, 9);
    EXPECT_EQ(second->loc.first_column, 9);
    EXPECT_EQ(second->loc.last_column, 19);
    treeabs* assign = tree_child(tree_child(second, 1), 0);
    EXPECT_EQ(tree_child(assign, 1)->loc.first_column, 14);   // c + 2
    EXPECT_EQ(tree_child(assign, 1)->loc.last_column, 18);
}

TEST_F(Parser, StackGrowsToItsLimitThenMemoryIsExhausted)
{
    std::string ok = "x = " + std::string(2000, '(') + "1" + std::string(2000, ')') + ";";
    EXPECT_EQ(parsewhole(ok), 0);
    std::string deep = "x = " + std::string(20000, '(') + "1" + std::string(20000, ')') + ";";
    EXPECT_NE(parsewhole(deep), 0);
    EXPECT_NE(errors().find("memory exhausted"), std::string::npos);
}

TEST_F(Parser, LongChainsParseAndReleaseWithoutRecursion)
{
    std::string chain = "x = 1";
    for (int i = 0; i < 200000; i++) chain += "+1";
    EXPECT_EQ(parsewhole(chain + ";"), 0);
}

// ---------------------------------------------------------------- interactive

TEST_F(Parser, TwoStatementsOnOneLineAreParsedOnePerTurnWithoutReadingAgain)
{
    g_lines = {"a=1; b=2;\n"};
    ASSERT_EQ(parseturn(), 0);
    EXPECT_EQ(dump(tree_child(tree_child(st.tree, 1), 0)), "assign(id(\"a\"), int(\"1\"))");
    EXPECT_EQ(st.pos, 4);
    EXPECT_EQ(g_prompts.size(), 1u);
    ASSERT_EQ(parseturn(), 0);
    EXPECT_EQ(dump(tree_child(tree_child(st.tree, 1), 0)), "assign(id(\"b\"), int(\"2\"))");
    EXPECT_EQ(st.pos, 9);
    EXPECT_EQ(g_prompts.size(), 1u);
    EXPECT_EQ(st.eof, 0);
    ASSERT_EQ(parseturn(), 0);                   // only the line feed is left: end of input
    EXPECT_EQ(st.tree, nullptr);
    EXPECT_EQ(st.eof, 1);
}

TEST_F(Parser, UnfinishedIfWaitsForMoreLinesShowingWhatIsOpen)
{
    g_lines = {"if (a==b) then {\n", "s = \"x\n", "y\"; /* c\n", "*/ }\n", "else {\n", "}\n", ";\n"};
    ASSERT_EQ(parseturn(), 0);
    EXPECT_EQ(g_prompts, (std::vector<std::string>{"> ", "{> ", "{\"> ", "{/*> ", "> ", "{> ", "> "}));
    ASSERT_NE(st.tree, nullptr);
    EXPECT_EQ(tree_child(tree_child(st.tree, 1), 0)->kind, TREE_IF);
    EXPECT_EQ(std::string(kst_getprompt()), "> ");
}

TEST_F(Parser, MapleLinesAreReadBehindTheMaplePrompt)
{
    g_lines = {"maple\n", "x := end;\n", "  end; y = 1;\n"};
    ASSERT_EQ(parseturn(), 0);
    EXPECT_EQ(g_prompts, (std::vector<std::string>{"> ", "maple> ", "maple> "}));
    EXPECT_EQ(dump(tree_child(tree_child(st.tree, 1), 0)), "maple(\"\n\", \"x := end;\", \"\n\")");
    EXPECT_EQ(treelex_getmode(&st), PROMPT_KEST);
    ASSERT_EQ(parseturn(), 0);                   // the rest of the "end" line
    EXPECT_EQ(dump(tree_child(tree_child(st.tree, 1), 0)), "assign(id(\"y\"), int(\"1\"))");
}

TEST_F(Parser, InteractiveSyntaxErrorFailsTheTurn)
{
    g_lines = {"a = ) ; b = 2;\n"};
    EXPECT_NE(parseturn(), 0);
    ASSERT_EQ(g_errors.size(), 1u);
    EXPECT_EQ(g_errors[0].loc.first_column, 4);
    EXPECT_EQ(st.tree, nullptr);
}

TEST_F(Parser, EndOfInputInsideAStatementIsASyntaxError)
{
    g_lines = {"a = \n"};
    EXPECT_NE(parseturn(), 0);
    EXPECT_EQ(st.eof, 1);
}
