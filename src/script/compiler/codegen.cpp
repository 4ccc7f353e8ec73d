// Code generator of the script compiler: emits instructions for the parser's expression
// descriptions, allocates registers, keeps constants unique and resolves jump lists.
#include "script/compiler/codegen.h"

#include <cassert>
#include <cstdlib>
#include <utility>

namespace script
{

namespace
{

// Instructions that are followed by a jump they control.
bool IsTestOp(OpCode op)
{
    return op == OP_EQ || op == OP_LT || op == OP_LE || op == OP_TEST || op == OP_TFORLOOP;
}

} // namespace

FuncState::FuncState(Lexer& lexer, FunctionPrototype& proto, FuncState* enclosing)
    : mLex(lexer), mProto(proto), mPrev(enclosing)
{
}

int FuncState::Emit(Instruction i, int line)
{
    DischargeJpc(); // pending jumps land on this instruction
    mProto.code.push_back(i);
    mProto.lineInfo.push_back(line);
    return Pc() - 1;
}

int FuncState::CodeABC(OpCode o, int a, int b, int c)
{
    return Emit(CREATE_ABC(o, a, b, c), mLex.LastLine());
}

int FuncState::CodeABx(OpCode o, int a, int bx)
{
    return Emit(CREATE_ABx(o, a, bx), mLex.LastLine());
}

void FuncState::FixLine(int line)
{
    mProto.lineInfo.back() = line;
}

void FuncState::RemoveLast()
{
    mProto.code.pop_back();
    mProto.lineInfo.pop_back();
}

void FuncState::Nil(int from, int n)
{
    if (Pc() > mLastTarget && Pc() > 0)
    {
        // Nothing jumps here: a LOADNIL just before that touches this range can be widened.
        Instruction& previous = mProto.code.back();
        if (GET_OPCODE(previous) == OP_LOADNIL)
        {
            int pfrom = GETARG_A(previous);
            int pto = GETARG_B(previous);
            if (pfrom <= from && from <= pto + 1)
            {
                if (from + n - 1 > pto)
                    SETARG_B(previous, from + n - 1);
                return;
            }
        }
    }
    CodeABC(OP_LOADNIL, from, from + n - 1, 0);
}

int FuncState::Jump()
{
    int pending = mJpc;
    mJpc = kNoJump;
    int j = CodeAsBx(OP_JMP, 0, kNoJump);
    Concat(j, pending); // whatever jumped here now goes where this jump goes
    return j;
}

void FuncState::FixJump(int pc, int dest)
{
    int offset = dest - (pc + 1);
    assert(dest != kNoJump);
    if (std::abs(offset) > MAXARG_sBx)
        mLex.SyntaxErrorHere("control structure too long");
    SETARG_sBx(InstructionAt(pc), offset);
}

int FuncState::GetLabel()
{
    mLastTarget = Pc();
    return Pc();
}

int FuncState::GetJump(int pc)
{
    int offset = GETARG_sBx(InstructionAt(pc));
    if (offset == kNoJump) // the end of a list points nowhere
        return kNoJump;
    return pc + 1 + offset;
}

int FuncState::JumpControlPc(int pc)
{
    if (pc >= 1 && IsTestOp(GET_OPCODE(InstructionAt(pc - 1))))
        return pc - 1;
    return pc;
}

bool FuncState::NeedValue(int list, int cond)
{
    for (; list != kNoJump; list = GetJump(list))
    {
        Instruction i = InstructionAt(JumpControlPc(list));
        if (GET_OPCODE(i) != OP_TEST || GETARG_C(i) != cond)
            return true;
    }
    return false;
}

void FuncState::PatchTestReg(Instruction& i, int reg)
{
    if (reg == NO_REG)
        reg = GETARG_B(i); // the test copies its register onto itself
    SETARG_A(i, reg);
}

void FuncState::RemoveValues(int list)
{
    for (; list != kNoJump; list = GetJump(list))
    {
        Instruction& i = InstructionAt(JumpControlPc(list));
        if (GET_OPCODE(i) == OP_TEST)
            PatchTestReg(i, NO_REG);
    }
}

void FuncState::PatchListAux(int list, int ttarget, int treg, int ftarget, int freg, int dtarget)
{
    while (list != kNoJump)
    {
        int next = GetJump(list);
        Instruction& i = InstructionAt(JumpControlPc(list));
        if (GET_OPCODE(i) != OP_TEST)
        {
            FixJump(list, dtarget);
        }
        else if (GETARG_C(i))
        {
            PatchTestReg(i, treg);
            FixJump(list, ttarget);
        }
        else
        {
            PatchTestReg(i, freg);
            FixJump(list, ftarget);
        }
        list = next;
    }
}

void FuncState::DischargeJpc()
{
    int here = Pc();
    PatchListAux(mJpc, here, NO_REG, here, NO_REG, here);
    mJpc = kNoJump;
}

void FuncState::PatchList(int list, int target)
{
    if (target == Pc())
    {
        PatchToHere(list);
    }
    else
    {
        assert(target < Pc());
        PatchListAux(list, target, NO_REG, target, NO_REG, target);
    }
}

void FuncState::PatchToHere(int list)
{
    GetLabel();
    Concat(mJpc, list);
}

void FuncState::Concat(int& l1, int l2)
{
    if (l2 == kNoJump)
        return;
    if (l1 == kNoJump)
    {
        l1 = l2;
        return;
    }
    // Every jump of a list goes to one target once the list is patched, so the order in which
    // the two lists are joined leaves the code unchanged. Walking both in step and hanging the
    // longer one behind the shorter costs the shorter list's length: a chain of thousands of
    // "or" joins a long list and a single jump at each operator, which walking the first list
    // alone made quadratic.
    int tail1 = l1;
    int tail2 = l2;
    for (;;)
    {
        int next1 = GetJump(tail1);
        if (next1 == kNoJump)
        {
            FixJump(tail1, l2);
            return;
        }
        int next2 = GetJump(tail2);
        if (next2 == kNoJump)
        {
            FixJump(tail2, l1);
            l1 = l2;
            return;
        }
        tail1 = next1;
        tail2 = next2;
    }
}

void FuncState::CheckStack(int n)
{
    int needed = mFreeReg + n;
    if (needed > mProto.maxStackSize)
    {
        if (needed >= MAXSTACK)
            mLex.SyntaxErrorHere("function or expression too complex");
        mProto.maxStackSize = needed;
    }
}

void FuncState::ReserveRegs(int n)
{
    CheckStack(n);
    mFreeReg += n;
}

void FuncState::FreeReg(int reg)
{
    if (reg >= mActiveLocals && reg < MAXSTACK)
    {
        --mFreeReg;
        assert(reg == mFreeReg);
    }
}

void FuncState::FreeExp(const ExpDesc& e)
{
    if (e.k == kExpNonRelocable)
        FreeReg(e.info);
}

int FuncState::AddConstant(ConstantValue value)
{
    if (static_cast<int>(mProto.constants.size()) >= MAXARG_Bx)
        mLex.SyntaxErrorHere("constant table overflow");
    mProto.constants.push_back(std::move(value));
    return static_cast<int>(mProto.constants.size()) - 1;
}

int FuncState::StringConstant(const std::string& s)
{
    auto found = mStringIndex.find(s);
    if (found != mStringIndex.end())
        return found->second;
    ConstantValue v;
    v.kind = ConstantValue::kString;
    v.text = s;
    int index = AddConstant(std::move(v));
    mStringIndex.emplace(s, index);
    return index;
}

int FuncState::WideConstant(const std::u16string& s)
{
    auto found = mWideIndex.find(s);
    if (found != mWideIndex.end())
        return found->second;
    ConstantValue v;
    v.kind = ConstantValue::kWideString;
    v.wide = s;
    int index = AddConstant(std::move(v));
    mWideIndex.emplace(s, index);
    return index;
}

int FuncState::NumberConstant(double n)
{
    // Keys compare by value, so 0 and -0 share a constant, as table keys would.
    auto found = mNumberIndex.find(n);
    if (found != mNumberIndex.end())
        return found->second;
    ConstantValue v;
    v.kind = ConstantValue::kNumber;
    v.number = n;
    int index = AddConstant(std::move(v));
    if (n == n) // a NaN never matches itself, so it is never looked up
        mNumberIndex.emplace(n, index);
    return index;
}

int FuncState::NilConstant()
{
    if (mNilIndex < 0)
        mNilIndex = AddConstant(ConstantValue());
    return mNilIndex;
}

void FuncState::SetCallReturns(ExpDesc& e, int nresults)
{
    if (e.k != kExpCall)
        return;
    SETARG_C(Code(e), nresults + 1);
    if (nresults == 1)
    {
        e.k = kExpNonRelocable;
        e.info = GETARG_A(Code(e));
    }
}

void FuncState::DischargeVars(ExpDesc& e)
{
    switch (e.k)
    {
    case kExpLocal:
        e.k = kExpNonRelocable;
        break;
    case kExpUpvalue:
        e.info = CodeABC(OP_GETUPVAL, 0, e.info, 0);
        e.k = kExpRelocable;
        break;
    case kExpGlobal:
        e.info = CodeABx(OP_GETGLOBAL, 0, e.info);
        e.k = kExpRelocable;
        break;
    case kExpIndexed:
        FreeReg(e.aux);
        FreeReg(e.info);
        e.info = CodeABC(OP_GETTABLE, 0, e.info, e.aux);
        e.k = kExpRelocable;
        break;
    case kExpCall:
        SetCallReturns(e, 1);
        break;
    default:
        break;
    }
}

int FuncState::CodeLabel(int a, int b, int jump)
{
    GetLabel(); // the instruction is a jump target
    return CodeABC(OP_LOADBOOL, a, b, jump);
}

void FuncState::Discharge2Reg(ExpDesc& e, int reg)
{
    DischargeVars(e);
    switch (e.k)
    {
    case kExpNil:
        Nil(reg, 1);
        break;
    case kExpFalse:
    case kExpTrue:
        CodeABC(OP_LOADBOOL, reg, e.k == kExpTrue, 0);
        break;
    case kExpConstant:
        CodeABx(OP_LOADK, reg, e.info);
        break;
    case kExpRelocable:
        SETARG_A(Code(e), reg);
        break;
    case kExpNonRelocable:
        if (reg != e.info)
            CodeABC(OP_MOVE, reg, e.info, 0);
        break;
    default:
        return; // nothing to move (a jump, or no value)
    }
    e.info = reg;
    e.k = kExpNonRelocable;
}

void FuncState::Discharge2AnyReg(ExpDesc& e)
{
    if (e.k != kExpNonRelocable)
    {
        ReserveRegs(1);
        Discharge2Reg(e, mFreeReg - 1);
    }
}

void FuncState::Exp2Reg(ExpDesc& e, int reg)
{
    Discharge2Reg(e, reg);
    if (e.k == kExpJump)
        Concat(e.t, e.info);
    if (HasJumps(e))
    {
        int loadFalse = kNoJump;
        int loadTrue = kNoJump;
        if (NeedValue(e.t, 1) || NeedValue(e.f, 0))
        {
            // Some jumps carry no value: give them a boolean to load.
            int skip = e.k == kExpJump ? kNoJump : Jump();
            loadFalse = CodeLabel(reg, 0, 1);
            loadTrue = CodeLabel(reg, 1, 0);
            PatchToHere(skip);
        }
        int end = GetLabel();
        PatchListAux(e.f, loadFalse, NO_REG, end, reg, loadFalse);
        PatchListAux(e.t, end, reg, loadTrue, NO_REG, loadTrue);
    }
    e.f = e.t = kNoJump;
    e.info = reg;
    e.k = kExpNonRelocable;
}

void FuncState::Exp2NextReg(ExpDesc& e)
{
    DischargeVars(e);
    FreeExp(e);
    ReserveRegs(1);
    Exp2Reg(e, mFreeReg - 1);
}

int FuncState::Exp2AnyReg(ExpDesc& e)
{
    DischargeVars(e);
    if (e.k == kExpNonRelocable)
    {
        if (!HasJumps(e))
            return e.info;
        if (e.info >= mActiveLocals)
        {
            // A temporary: the jumps can deliver their values into it.
            Exp2Reg(e, e.info);
            return e.info;
        }
    }
    Exp2NextReg(e);
    return e.info;
}

void FuncState::Exp2Val(ExpDesc& e)
{
    if (HasJumps(e))
        Exp2AnyReg(e);
    else
        DischargeVars(e);
}

int FuncState::Exp2RK(ExpDesc& e)
{
    Exp2Val(e);
    switch (e.k)
    {
    case kExpNil:
        if (static_cast<int>(mProto.constants.size()) + MAXSTACK <= MAXARG_C)
        {
            e.info = NilConstant();
            e.k = kExpConstant;
            return e.info + MAXSTACK;
        }
        break;
    case kExpConstant:
        if (e.info + MAXSTACK <= MAXARG_C)
            return e.info + MAXSTACK;
        break;
    default:
        break;
    }
    // Not a constant within reach of an operand: it goes through a register.
    return Exp2AnyReg(e);
}

void FuncState::StoreVar(ExpDesc& var, ExpDesc& ex)
{
    switch (var.k)
    {
    case kExpLocal:
        FreeExp(ex);
        Exp2Reg(ex, var.info);
        return;
    case kExpUpvalue:
    {
        int e = Exp2AnyReg(ex);
        CodeABC(OP_SETUPVAL, e, var.info, 0);
        break;
    }
    case kExpGlobal:
    {
        int e = Exp2AnyReg(ex);
        CodeABx(OP_SETGLOBAL, e, var.info);
        break;
    }
    case kExpIndexed:
    {
        int e = Exp2RK(ex);
        CodeABC(OP_SETTABLE, var.info, var.aux, e);
        break;
    }
    default:
        assert(false && "invalid variable kind to store");
        break;
    }
    FreeExp(ex);
}

void FuncState::Self(ExpDesc& e, ExpDesc& key)
{
    Exp2AnyReg(e);
    FreeExp(e);
    int func = mFreeReg;
    ReserveRegs(2);
    CodeABC(OP_SELF, func, e.info, Exp2RK(key));
    FreeExp(key);
    e.info = func;
    e.k = kExpNonRelocable;
}

void FuncState::Indexed(ExpDesc& t, ExpDesc& k)
{
    t.aux = Exp2RK(k);
    t.k = kExpIndexed;
}

void FuncState::InvertJump(ExpDesc& e)
{
    Instruction& i = InstructionAt(JumpControlPc(e.info));
    SETARG_A(i, !GETARG_A(i));
}

int FuncState::CondJump(OpCode op, int a, int b, int c)
{
    CodeABC(op, a, b, c);
    return Jump();
}

int FuncState::JumpOnCond(ExpDesc& e, int cond)
{
    if (e.k == kExpRelocable && e.info == Pc() - 1)
    {
        Instruction ie = Code(e);
        if (GET_OPCODE(ie) == OP_NOT)
        {
            // Test the operand of the NOT with the opposite sense instead.
            RemoveLast();
            return CondJump(OP_TEST, NO_REG, GETARG_B(ie), !cond);
        }
    }
    Discharge2AnyReg(e);
    FreeExp(e);
    return CondJump(OP_TEST, NO_REG, e.info, cond);
}

void FuncState::GoIfTrue(ExpDesc& e)
{
    int pc;
    DischargeVars(e);
    switch (e.k)
    {
    case kExpConstant:
    case kExpTrue:
        pc = kNoJump; // always true: nothing to jump
        break;
    case kExpFalse:
        pc = Jump(); // always false
        break;
    case kExpJump:
        InvertJump(e);
        pc = e.info;
        break;
    default:
        pc = JumpOnCond(e, 0);
        break;
    }
    Concat(e.f, pc);
    PatchToHere(e.t);
    e.t = kNoJump;
}

void FuncState::GoIfFalse(ExpDesc& e)
{
    int pc;
    DischargeVars(e);
    switch (e.k)
    {
    case kExpNil:
    case kExpFalse:
        pc = kNoJump; // always false: nothing to jump
        break;
    case kExpTrue:
        pc = Jump(); // always true
        break;
    case kExpJump:
        pc = e.info;
        break;
    default:
        pc = JumpOnCond(e, 1);
        break;
    }
    Concat(e.t, pc);
    PatchToHere(e.f);
    e.f = kNoJump;
}

void FuncState::CodeNot(ExpDesc& e)
{
    DischargeVars(e);
    switch (e.k)
    {
    case kExpNil:
    case kExpFalse:
        e.k = kExpTrue;
        break;
    case kExpConstant:
    case kExpTrue:
        e.k = kExpFalse;
        break;
    case kExpJump:
        InvertJump(e);
        break;
    case kExpRelocable:
    case kExpNonRelocable:
        Discharge2AnyReg(e);
        FreeExp(e);
        e.info = CodeABC(OP_NOT, 0, e.info, 0);
        e.k = kExpRelocable;
        break;
    default:
        assert(false && "cannot negate this expression");
        break;
    }
    std::swap(e.f, e.t);
    // The jumps now mean the opposite, so they no longer carry the expression's value.
    RemoveValues(e.f);
    RemoveValues(e.t);
}

void FuncState::Prefix(UnOpr op, ExpDesc& e)
{
    if (op == kOprMinus)
    {
        Exp2Val(e);
        if (e.k == kExpConstant &&
            mProto.constants[static_cast<size_t>(e.info)].kind == ConstantValue::kNumber)
        {
            e.info = NumberConstant(-mProto.constants[static_cast<size_t>(e.info)].number);
        }
        else
        {
            Exp2AnyReg(e);
            FreeExp(e);
            e.info = CodeABC(OP_UNM, 0, e.info, 0);
            e.k = kExpRelocable;
        }
    }
    else
    {
        CodeNot(e);
    }
}

void FuncState::Infix(BinOpr op, ExpDesc& v)
{
    switch (op)
    {
    case kOprAnd:
        GoIfTrue(v);
        break;
    case kOprOr:
        GoIfFalse(v);
        break;
    case kOprConcat:
        Exp2NextReg(v); // the operands of CONCAT must be consecutive registers
        break;
    default:
        Exp2RK(v);
        break;
    }
}

void FuncState::CodeBinary(ExpDesc& res, BinOpr op, int o1, int o2)
{
    if (op <= kOprPow)
    {
        res.info = CodeABC(static_cast<OpCode>(static_cast<int>(OP_ADD) + static_cast<int>(op)), 0,
                           o1, o2);
        res.k = kExpRelocable;
        return;
    }
    static const OpCode kCompare[] = {OP_EQ, OP_EQ, OP_LT, OP_LE, OP_LT, OP_LE};
    int cond = 1;
    if (op >= kOprGt)
        std::swap(o1, o2); // a > b is b < a
    else if (op == kOprNe)
        cond = 0;
    res.info = CondJump(kCompare[op - kOprNe], cond, o1, o2);
    res.k = kExpJump;
}

void FuncState::Posfix(BinOpr op, ExpDesc& e1, ExpDesc& e2)
{
    switch (op)
    {
    case kOprAnd:
        DischargeVars(e2);
        Concat(e2.f, e1.f);
        e1 = e2;
        break;
    case kOprOr:
        DischargeVars(e2);
        Concat(e2.t, e1.t);
        e1 = e2;
        break;
    case kOprConcat:
        Exp2Val(e2);
        if (e2.k == kExpRelocable && GET_OPCODE(Code(e2)) == OP_CONCAT)
        {
            // Extend the CONCAT of the right side down to the left operand's register.
            assert(e1.info == GETARG_B(Code(e2)) - 1);
            FreeExp(e1);
            SETARG_B(Code(e2), e1.info);
            e1.k = kExpRelocable;
            e1.info = e2.info;
        }
        else
        {
            Exp2NextReg(e2);
            FreeExp(e2);
            FreeExp(e1);
            e1.info = CodeABC(OP_CONCAT, 0, e1.info, e2.info);
            e1.k = kExpRelocable;
        }
        break;
    default:
    {
        int o1 = Exp2RK(e1);
        int o2 = Exp2RK(e2);
        FreeExp(e2);
        FreeExp(e1);
        CodeBinary(e1, op, o1, o2);
        break;
    }
    }
}

} // namespace script
