// Code generator: the instructions and constants produced for expressions, including the bitwise
// operators, the absence of folding, size hints, wide constants and the register limits.
#include <gtest/gtest.h>

#include "compiler_test_support.h"

using namespace compiler_test;
using script::ConstantValue;
using Lines = std::vector<std::string>;

TEST(CodegenTest, ShiftOfConstantsIsNotFolded)
{
    auto f = Compile("local x = 1 << 4");
    EXPECT_EQ(Listing(*f), (Lines{"SHL 0 250 251", "RETURN 0 1 0"}));
    ASSERT_EQ(f->constants.size(), 2u);
    EXPECT_EQ(f->constants[0].number, 1);
    EXPECT_EQ(f->constants[1].number, 4);
}

TEST(CodegenTest, ArithmeticOfConstantsIsNotFolded)
{
    EXPECT_EQ(CompileListing("local x = 1 + 2"), (Lines{"ADD 0 250 251", "RETURN 0 1 0"}));
    EXPECT_EQ(CompileListing("local x = 2 ^ 3"), (Lines{"POW 0 250 251", "RETURN 0 1 0"}));
}

TEST(CodegenTest, ShiftRightOfGlobals)
{
    auto f = Compile("x = a >> b");
    EXPECT_EQ(Listing(*f), (Lines{"GETGLOBAL 0 1", "GETGLOBAL 1 2", "SHR 0 0 1", "SETGLOBAL 0 0",
                                  "RETURN 0 1 0"}));
    EXPECT_EQ(f->constants[0].text, "x");
    EXPECT_EQ(f->constants[1].text, "a");
    EXPECT_EQ(f->constants[2].text, "b");
}

TEST(CodegenTest, EachBitwiseOperatorHasItsInstruction)
{
    EXPECT_EQ(CompileListing("local a, b; local c = a & b")[1], "BAND 2 0 1");
    EXPECT_EQ(CompileListing("local a, b; local c = a | b")[1], "BOR 2 0 1");
    EXPECT_EQ(CompileListing("local a, b; local c = a << b")[1], "SHL 2 0 1");
    EXPECT_EQ(CompileListing("local a, b; local c = a >> b")[1], "SHR 2 0 1");
}

TEST(CodegenTest, BitwiseOperatorsBindTighterThanMultiplication)
{
    // a * b & c is a * (b & c).
    EXPECT_EQ(CompileListing("local a, b, c; local d = a * b & c"),
              (Lines{"LOADNIL 0 2 0", "BAND 3 1 2", "MUL 3 0 3", "RETURN 0 1 0"}));
    // The bitwise operators share one left-associative level: (1 | 2) & 3.
    EXPECT_EQ(CompileListing("local d = 1 | 2 & 3"),
              (Lines{"BOR 0 250 251", "BAND 0 0 252", "RETURN 0 1 0"}));
    // a + b << c is a + (b << c).
    EXPECT_EQ(CompileListing("local a, b, c; local d = a + b << c"),
              (Lines{"LOADNIL 0 2 0", "SHL 3 1 2", "ADD 3 0 3", "RETURN 0 1 0"}));
}

TEST(CodegenTest, UnaryOperatorsShareTheBitwiseLevel)
{
    // -a & b is (-a) & b.
    EXPECT_EQ(CompileListing("local a, b; local c = -a & b"),
              (Lines{"LOADNIL 0 1 0", "UNM 2 0 0", "BAND 2 2 1", "RETURN 0 1 0"}));
    // a & b ^ c is a & (b ^ c).
    EXPECT_EQ(CompileListing("local a, b, c; local d = a & b ^ c"),
              (Lines{"LOADNIL 0 2 0", "POW 3 1 2", "BAND 3 0 3", "RETURN 0 1 0"}));
    // not a & b is (not a) & b.
    EXPECT_EQ(CompileListing("local a, b; local c = not a & b"),
              (Lines{"LOADNIL 0 1 0", "NOT 2 0 0", "BAND 2 2 1", "RETURN 0 1 0"}));
}

TEST(CodegenTest, UnaryMinusAndNotFoldConstants)
{
    auto f = Compile("local a = -1");
    EXPECT_EQ(Listing(*f), (Lines{"LOADK 0 1", "RETURN 0 1 0"}));
    EXPECT_EQ(f->constants[1].number, -1);
    EXPECT_EQ(CompileListing("local a = not nil"), (Lines{"LOADBOOL 0 1 0", "RETURN 0 1 0"}));
    EXPECT_EQ(CompileListing("local a = not 1"), (Lines{"LOADBOOL 0 0 0", "RETURN 0 1 0"}));
}

TEST(CodegenTest, ComparisonsAreConditionalJumps)
{
    EXPECT_EQ(CompileListing("local a, b; local c = a < b"),
              (Lines{"LOADNIL 0 1 0", "LT 1 0 1", "JMP 0 1", "LOADBOOL 2 0 1", "LOADBOOL 2 1 0",
                     "RETURN 0 1 0"}));
    // Greater-than swaps the operands; not-equal is EQ with the opposite sense.
    EXPECT_EQ(CompileListing("local a, b; local c = a > b")[1], "LT 1 1 0");
    EXPECT_EQ(CompileListing("local a, b; local c = a ~= b")[1], "EQ 0 0 1");
}

TEST(CodegenTest, WideLiteralsAreConstantsOfTheirOwn)
{
    auto f = Compile("local s = L\"ab\" local t = \"ab\" local u = L\"ab\"");
    EXPECT_EQ(Listing(*f), (Lines{"LOADK 0 0", "LOADK 1 1", "LOADK 2 0", "RETURN 0 1 0"}));
    ASSERT_EQ(f->constants.size(), 2u);
    EXPECT_EQ(f->constants[0].kind, ConstantValue::kWideString);
    EXPECT_EQ(f->constants[0].wide, u"ab");
    EXPECT_EQ(f->constants[1].kind, ConstantValue::kString);
    // As an operand it is an RK constant like any other.
    EXPECT_EQ(CompileListing("local a; local b = a == L\"x\"")[1], "EQ 1 0 250");
}

TEST(CodegenTest, WideLiteralCallArgument)
{
    auto f = Compile("f L\"ab\"");
    EXPECT_EQ(Listing(*f), (Lines{"GETGLOBAL 0 0", "LOADK 1 1", "CALL 0 2 1", "RETURN 0 1 0"}));
    EXPECT_EQ(f->constants[1].wide, u"ab");
}

TEST(CodegenTest, TableSizeHints)
{
    EXPECT_EQ(CompileListing("local t = { &8 }")[0], "NEWTABLE 0 0 4");
    // 16 array slots in the floating-byte encoding: 4 * 2^2.
    EXPECT_EQ(CompileListing("local t = { &0 &16 1, 2 }")[0], "NEWTABLE 0 20 0");
    // Hints below the real counts change nothing.
    EXPECT_EQ(CompileListing("local t = { &1 &1 1, 2, 3, x = 1, y = 2 }")[0], "NEWTABLE 0 3 2");
    EXPECT_EQ(CompileListing("local t = { 1, 2, 3, x = 1, y = 2 }")[0], "NEWTABLE 0 3 2");
    EXPECT_EQ(CompileListing("local t = { &0.5 }")[0], "NEWTABLE 0 0 0");
    // "&" after the first item is the bitwise operator.
    EXPECT_EQ(
        CompileListing("local a, b; local t = { a & b }"),
        (Lines{"LOADNIL 0 1 0", "NEWTABLE 2 1 0", "BAND 3 0 1", "SETLIST 2 0", "RETURN 0 1 0"}));
}

TEST(CodegenTest, ConstantsBeyondOperandReachGoThroughRegisters)
{
    std::string text = "local a = 0\n";
    for (int i = 1; i <= 300; ++i)
        text += "a = a + " + std::to_string(i) + "\n";
    auto f = Compile(text);
    EXPECT_EQ(f->constants.size(), 301u);
    // Constant 261 is the last one an operand can name.
    Lines code = Listing(*f);
    EXPECT_EQ(code[261], "ADD 0 0 511");
    EXPECT_EQ(code[262], "LOADK 1 262");
    EXPECT_EQ(code[263], "ADD 0 0 1");
}

TEST(CodegenTest, RegisterLimit)
{
    std::string args;
    for (int i = 0; i < 250; ++i)
        args += (i ? ",x" : "x");
    EXPECT_EQ(CompileError("f(" + args + ")"), "t:1: function or expression too complex near `x'");
    args.resize(args.size() - 4); // 248 arguments fit
    EXPECT_EQ(CompileError("f(" + args + ")"), "(no error)");
}

TEST(CodegenTest, LocalAndUpvalueLimits)
{
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "local v" + std::to_string(i) + "\n";
    EXPECT_EQ(CompileError(text), "(no error)");
    EXPECT_EQ(CompileError(text + "local w"),
              "t:201: too many local variables (limit=200) near `<eof>'");

    std::string outer;
    std::string uses;
    for (int i = 0; i < 33; ++i)
    {
        outer += "local u" + std::to_string(i) + "\n";
        uses += "u" + std::to_string(i) + " = 1\n";
    }
    EXPECT_EQ(CompileError(outer + "function f()\n" + uses + "end"),
              "t:67: too many upvalues (limit=32) near `='");
}

TEST(CodegenTest, ContinueClosesCapturedLocals)
{
    auto f = Compile("while c do local x = 1 f = function() return x end "
                     "if x then continue end end");
    Lines code = Listing(*f);
    // The continue closes x before jumping to the condition, as the end of the body does.
    Lines expected{"JMP 0 9",       "LOADK 0 1",  "CLOSURE 1 0", "MOVE 0 0 0",  "SETGLOBAL 1 2",
                   "TEST 0 0 0",    "JMP 0 2",    "CLOSE 0 0 0", "JMP 0 1",     "CLOSE 0 0 0",
                   "GETGLOBAL 0 0", "TEST 0 0 1", "JMP 0 -12",   "RETURN 0 1 0"};
    EXPECT_EQ(code, expected);
}

TEST(CodegenTest, ContinueWithoutCapturedLocalsEmitsNoClose)
{
    Lines code = CompileListing("for i = 1, 3 do local x = i if x then continue end end");
    for (const std::string& line : code)
        EXPECT_EQ(line.find("CLOSE"), std::string::npos) << line;
}

TEST(CodegenTest, CountedBreakClosesInnerLoopLocals)
{
    Lines code = CompileListing("for i = 1, 2 do for j = 1, 2 do f = function() return j end "
                                "break 2 end end");
    // One CLOSE for the counted break (down to the outer loop's body level), one where the
    // inner loop's control variables go out of scope.
    int closes = 0;
    for (const std::string& line : code)
        closes += line.rfind("CLOSE", 0) == 0;
    EXPECT_EQ(closes, 2);
    EXPECT_NE(std::find(code.begin(), code.end(), "CLOSE 3 0 0"), code.end());
}

TEST(CodegenTest, NumericForLoopShape)
{
    EXPECT_EQ(CompileListing("for i = 1, 3 do end"),
              (Lines{"LOADK 0 0", "LOADK 1 1", "LOADK 2 0", "SUB 0 0 2", "JMP 0 0", "FORLOOP 0 -1",
                     "RETURN 0 1 0"}));
}

TEST(CodegenTest, GenericForLoopShape)
{
    EXPECT_EQ(CompileListing("for k, v in t do end"),
              (Lines{"GETGLOBAL 0 0", "LOADNIL 1 3 0", "TFORPREP 0 0", "TFORLOOP 0 0 1", "JMP 0 -2",
                     "RETURN 0 1 0"}));
}

TEST(CodegenTest, LineInformation)
{
    auto f = Compile("local a = 1\n\nlocal b = a +\n 2");
    EXPECT_EQ(f->lineInfo, (std::vector<int>{1, 4, 4}));
}

TEST(CodegenTest, AssignmentToAParameterAtFunctionStart)
{
    // The first instruction of a function may not assume its parameters are nil.
    auto f = Compile("function g(a) a = nil return a end");
    ASSERT_EQ(f->children.size(), 1u);
    EXPECT_EQ(Listing(*f->children[0]), (Lines{"LOADNIL 0 0 0", "RETURN 0 2 0", "RETURN 0 1 0"}));
}

TEST(CodegenTest, JumpDistanceLimit)
{
    std::string text = "if x then\n";
    for (int i = 0; i < 66000; ++i)
        text += "a = 1\n";
    text += "end";
    std::string error = CompileError(text);
    EXPECT_NE(error.find("control structure too long"), std::string::npos) << error;
}
