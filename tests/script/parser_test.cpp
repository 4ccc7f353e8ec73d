// Parser: syntax-error messages and lines, counted loop exits, size-hint errors, statement rules
// and the nesting limits.
#include <gtest/gtest.h>

#include "compiler_test_support.h"

using namespace compiler_test;

TEST(ParserTest, StockSyntaxErrors)
{
    ExpectCompileErrors(
        {{"f x", "t:1: `=' expected near `x'"},
         {"x = = 1", "t:1: unexpected symbol near `='"},
         {"1 = x", "t:1: unexpected symbol near `1'"},
         {"function f()", "t:1: `end' expected near `<eof>'"},
         {"function f()\n", "t:2: `end' expected (to close `function' at line 1) near `<eof>'"},
         {"x = 1 end", "t:1: <eof> expected near `end'"},
         {"local 1", "t:1: <name> expected near `1'"},
         {"x = 'a' 'b'", "t:1: unexpected symbol near `'b''"},
         {"for i do end", "t:1: `=' or `in' expected near `do'"},
         {"function f(a, 1) end", "t:1: <name> or `...' expected near `1'"},
         {"f(\n", "t:2: unexpected symbol near `<eof>'"},
         {"x = (1\n\n", "t:3: `)' expected (to close `(' at line 1) near `<eof>'"},
         {"f\n(g)()", "t:2: ambiguous syntax (function call x new statement) near `('"},
         {"x = f.+", "t:1: <name> expected near `+'"},
         {"a.b:c = 1", "t:1: function arguments expected near `='"},
         {"(a) = 1", "t:1: syntax error near `='"},
         {"x = \x80", "t:1: unexpected symbol near `\x80'"}});
}

TEST(ParserTest, ChunkNameInMessages)
{
    std::string text = "x = = 1";
    try
    {
        script::CompileChunk(text.data(), text.size(), false, text);
        FAIL();
    }
    catch (const script::SyntaxError& e)
    {
        EXPECT_EQ(e.message, "[string \"x = = 1\"]:1: unexpected symbol near `='");
    }
}

TEST(ParserTest, CountedExitMessages)
{
    ExpectCompileErrors(
        {{"while 1 do break 0 end", "t:1: loop block number out of range near `0'"},
         {"while 1 do break 101 end", "t:1: loop block number out of range near `101'"},
         {"while 1 do break 1.5 end", "t:1: loop block number must be integer near `1.5'"},
         {"while 1 do while 1 do break 3 end end", "t:1: no loop to break near `end'"},
         {"break", "t:1: no loop to break near `<eof>'"},
         {"continue", "t:1: no loop to continue near `<eof>'"},
         {"if x then continue end", "t:1: no loop to continue near `end'"},
         // A function body is not inside the loop that surrounds the function.
         {"while 1 do f = function() break end end", "t:1: no loop to break near `end'"},
         {"while 1 do break 2.0 end", "t:1: no loop to break near `end'"},
         {"for i = 1, 2 do repeat break 2 until 1 end", "(no error)"},
         {"for i = 1, 2 do repeat continue 100 until 1 end",
          "t:1: no loop to continue near `until'"}});
}

TEST(ParserTest, LoopExitsEndTheirBlock)
{
    EXPECT_EQ(CompileError("while 1 do continue x = 1 end"), "t:1: `end' expected near `x'");
    EXPECT_EQ(CompileError("while 1 do break; end"), "(no error)");
    EXPECT_EQ(CompileError("while 1 do continue; end"), "(no error)");
    // The count is a literal numeral only; anything else starts the next statement.
    EXPECT_EQ(CompileError("while 1 do break (2) end"), "t:1: `end' expected near `('");
}

TEST(ParserTest, SizeHintErrors)
{
    EXPECT_EQ(CompileError("t = { &x }"), "t:1: size expected following & (line 1) near `x'");
    EXPECT_EQ(CompileError("t = {\n&4 &}"), "t:2: size expected following & (line 2) near `}'");
    EXPECT_EQ(CompileError("t = { &4 &4 &4 }"), "t:1: unexpected symbol near `&'");
    EXPECT_EQ(CompileError("t = { &1e9 }"), "(no error)");
    EXPECT_EQ(CompileError("t = { &0 &1e9 }"),
              "t:1: too many items in a constructor (limit=262143) near `1e9'");
}

TEST(ParserTest, ConstructorItems)
{
    EXPECT_EQ(CompileError("t = { 1, 2; x = 3, [4] = 5, }"), "(no error)");
    EXPECT_EQ(CompileError("t = { 1 2 }"), "t:1: `}' expected near `2'");
    // The old two-part form's ";" after "{" or after a separator is accepted and ignored.
    for (const char* text : {"x = {;}", "x = {;1}", "x = {;x=1}", "x = {x=1,;}", "x = {1,;}",
                             "x = {1,;x=1,}", "x = {1;;2}"})
        EXPECT_EQ(CompileError(text), "(no error)") << text;
    EXPECT_EQ(CompileListing("x = {1, 2,; n = 3}"), CompileListing("x = {1, 2, n = 3}"));
    EXPECT_EQ(CompileListing("x = {;1,;}"), CompileListing("x = {1}"));
    EXPECT_EQ(CompileError("x = {;;}"), "t:1: unexpected symbol near `;'");
    EXPECT_EQ(CompileError("x = {,}"), "t:1: unexpected symbol near `,'");
    EXPECT_EQ(CompileError("x = {1,,2}"), "t:1: unexpected symbol near `,'");
    EXPECT_EQ(CompileError("t = {\n1,\n2"),
              "t:3: `}' expected (to close `{' at line 1) near `<eof>'");
}

TEST(ParserTest, SyntaxLevels)
{
    // The chunk and the right-hand side take two of the 200 levels.
    std::string deep(198, '(');
    EXPECT_EQ(CompileError("x = " + deep + "1" + std::string(198, ')')), "(no error)");
    std::string deeper(300, '(');
    EXPECT_EQ(CompileError("x = " + deeper + "1" + std::string(300, ')')),
              "t:1: too many syntax levels near `('");
    std::string blocks;
    for (int i = 0; i < 300; ++i)
        blocks += "do ";
    EXPECT_EQ(CompileError(blocks), "t:1: too many syntax levels near `do'");
}

TEST(ParserTest, LongAssignmentListsAreBounded)
{
    std::string targets = "a";
    for (int i = 0; i < 5000; ++i)
        targets += ",a";
    EXPECT_EQ(CompileError(targets + " = 1"), "t:1: too many syntax levels near `a'");
}

TEST(ParserTest, ParameterLimit)
{
    std::string params;
    for (int i = 0; i < 101; ++i)
        params += (i ? ",p" : "p") + std::to_string(i);
    EXPECT_EQ(CompileError("function f(" + params + ") end"),
              "t:1: too many parameters (limit=100) near `)'");
}

TEST(ParserTest, WhileConditionTooComplex)
{
    std::string cond = "a";
    for (int i = 0; i < 60; ++i)
        cond += " and a";
    EXPECT_EQ(CompileError("while " + cond + " do end"),
              "t:1: `while' condition too complex near `do'");
}

TEST(ParserTest, FunctionsAndScopes)
{
    auto f = Compile("local a\nfunction t.x.y:m(b, ...) return a, b, arg, self end");
    ASSERT_EQ(f->children.size(), 1u);
    const script::FunctionPrototype& m = *f->children[0];
    EXPECT_EQ(m.numParams, 2); // self and b
    EXPECT_TRUE(m.isVararg);
    EXPECT_EQ(m.lineDefined, 2);
    EXPECT_EQ(m.upvalueNames, (std::vector<std::string>{"a"}));
    ASSERT_GE(m.locals.size(), 3u);
    EXPECT_EQ(m.locals[0].name, "self");
    EXPECT_EQ(m.locals[1].name, "b");
    EXPECT_EQ(m.locals[2].name, "arg");
}

TEST(ParserTest, ForLoopHiddenLocals)
{
    auto f = Compile("for i = 1, 2 do end for k, v in t do end");
    std::vector<std::string> names;
    for (const auto& l : f->locals)
        names.push_back(l.name);
    EXPECT_EQ(names, (std::vector<std::string>{"i", "(for limit)", "(for step)", "(for generator)",
                                               "(for state)", "k", "v"}));
}
