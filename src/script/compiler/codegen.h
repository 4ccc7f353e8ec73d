// Code generator of the script compiler: expression descriptions, register allocation, constants,
// jump lists and the instructions of one function prototype under construction.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/compiler/lexer.h"
#include "script/core/opcodes.h"

namespace script
{

constexpr int kNoJump = -1;
constexpr int kMultipleReturns = -1;

// A constant of a function: nil, a number, a narrow string or a wide string.
struct ConstantValue
{
    enum Kind
    {
        kNil,
        kNumber,
        kString,
        kWideString
    };
    Kind kind = kNil;
    double number = 0;
    std::string text;
    std::u16string wide;
};

struct LocalVarInfo
{
    std::string name;
    int startPc = 0;
    int endPc = 0;
};

// A compiled function before it becomes a collectable prototype of the state.
struct FunctionPrototype
{
    std::vector<Instruction> code;
    std::vector<int> lineInfo;
    std::vector<ConstantValue> constants;
    std::vector<std::unique_ptr<FunctionPrototype>> children;
    std::vector<LocalVarInfo> locals;
    std::vector<std::string> upvalueNames;
    std::string source;
    int lineDefined = 0;
    int numParams = 0;
    bool isVararg = false;
    int maxStackSize = 2;
};

enum ExpKind
{
    kExpVoid, // no value (empty list)
    kExpNil,
    kExpTrue,
    kExpFalse,
    kExpConstant,     // info = constant index
    kExpLocal,        // info = register
    kExpUpvalue,      // info = upvalue index
    kExpGlobal,       // info = constant index of the name
    kExpIndexed,      // info = table register, aux = RK key
    kExpJump,         // info = pc of the conditional jump
    kExpRelocable,    // info = pc of an instruction whose A is still open
    kExpNonRelocable, // info = register holding the value
    kExpCall          // info = pc of the CALL
};

struct ExpDesc
{
    ExpKind k = kExpVoid;
    int info = 0;
    int aux = 0;
    int t = kNoJump; // jumps taken when the value is true
    int f = kNoJump; // jumps taken when the value is false

    void Init(ExpKind kind, int i)
    {
        k = kind;
        info = i;
        t = f = kNoJump;
    }
};

// Binary operators in code order; the first nine map onto ADD .. POW.
enum BinOpr
{
    kOprAdd,
    kOprSub,
    kOprMul,
    kOprDiv,
    kOprBand,
    kOprBor,
    kOprShl,
    kOprShr,
    kOprPow,
    kOprConcat,
    kOprNe,
    kOprEq,
    kOprLt,
    kOprLe,
    kOprGt,
    kOprGe,
    kOprAnd,
    kOprOr,
    kOprNoBinary
};

enum UnOpr
{
    kOprMinus,
    kOprNot,
    kOprNoUnary
};

struct BlockScope;

struct UpvalueDesc
{
    ExpKind k;
    int info;
};

// Compile state of one function; the parser drives it.
class FuncState
{
public:
    FuncState(Lexer& lexer, FunctionPrototype& proto, FuncState* enclosing);

    Lexer& mLex;
    FunctionPrototype& mProto;
    FuncState* mPrev;             // the enclosing function
    BlockScope* mBlock = nullptr; // innermost open block
    int mLastTarget = -1;         // pc of the last jump target
    int mJpc = kNoJump;           // jumps pending to the next instruction
    int mFreeReg = 0;             // first free register
    int mActiveLocals = 0;        // number of active local variables
    std::vector<UpvalueDesc> mUpvalues;
    std::vector<int> mActiveVars; // index into mProto.locals of each active local

    int Pc() const { return static_cast<int>(mProto.code.size()); }
    Instruction& InstructionAt(int pc) { return mProto.code[static_cast<size_t>(pc)]; }
    Instruction& Code(const ExpDesc& e) { return InstructionAt(e.info); }

    int CodeABC(OpCode o, int a, int b, int c);
    int CodeABx(OpCode o, int a, int bx);
    int CodeAsBx(OpCode o, int a, int sbx) { return CodeABx(o, a, sbx + MAXARG_sBx); }
    int Emit(Instruction i, int line);
    void FixLine(int line);
    // Drops the last instruction (only when nothing can jump to it).
    void RemoveLast();

    void Nil(int from, int n);
    int Jump();
    void PatchList(int list, int target);
    void PatchToHere(int list);
    void Concat(int& l1, int l2);
    int GetLabel();
    int GetJump(int pc);

    void CheckStack(int n);
    void ReserveRegs(int n);

    int StringConstant(const std::string& s);
    int WideConstant(const std::u16string& s);
    int NumberConstant(double n);

    void DischargeVars(ExpDesc& e);
    void Exp2NextReg(ExpDesc& e);
    int Exp2AnyReg(ExpDesc& e);
    void Exp2Val(ExpDesc& e);
    int Exp2RK(ExpDesc& e);
    void StoreVar(ExpDesc& var, ExpDesc& ex);
    void Self(ExpDesc& e, ExpDesc& key);
    void Indexed(ExpDesc& t, ExpDesc& k);
    void GoIfTrue(ExpDesc& e);
    void GoIfFalse(ExpDesc& e);
    void SetCallReturns(ExpDesc& e, int nresults);
    void Prefix(UnOpr op, ExpDesc& e);
    void Infix(BinOpr op, ExpDesc& v);
    void Posfix(BinOpr op, ExpDesc& e1, ExpDesc& e2);

private:
    int AddConstant(ConstantValue value);
    int NilConstant();
    void DischargeJpc();
    void FixJump(int pc, int dest);
    int JumpControlPc(int pc);
    bool NeedValue(int list, int cond);
    void PatchTestReg(Instruction& i, int reg);
    void PatchListAux(int list, int ttarget, int treg, int ftarget, int freg, int dtarget);
    void RemoveValues(int list);
    void FreeReg(int reg);
    void FreeExp(const ExpDesc& e);
    int CodeLabel(int a, int b, int jump);
    void Discharge2Reg(ExpDesc& e, int reg);
    void Discharge2AnyReg(ExpDesc& e);
    void Exp2Reg(ExpDesc& e, int reg);
    bool HasJumps(const ExpDesc& e) const { return e.t != e.f; }
    void InvertJump(ExpDesc& e);
    int CondJump(OpCode op, int a, int b, int c);
    int JumpOnCond(ExpDesc& e, int cond);
    void CodeNot(ExpDesc& e);
    void CodeBinary(ExpDesc& res, BinOpr op, int o1, int o2);

    std::map<double, int> mNumberIndex;
    std::unordered_map<std::string, int> mStringIndex;
    std::map<std::u16string, int> mWideIndex;
    int mNilIndex = -1;
};

} // namespace script
