// Parser of the script language: one-pass recursive descent over the lexer's tokens, driving the
// code generator; scopes, upvalues, loops with counted exits and presized table constructors.
#include "script/compiler/parser.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstring>

namespace script
{

namespace
{

constexpr int kMaxLocals = 200;
constexpr int kMaxUpvalues = 32;
constexpr int kMaxParams = 100;
constexpr int kMaxSyntaxLevels = 200;
constexpr int kMaxWhileCondition = 100;
constexpr int kMaxLoopCount = 100;
constexpr long long kMaxHashItems = INT_MAX - 2;

struct Priority
{
    int left;
    int right;
};

// Indexed by BinOpr.
const Priority kPriority[] = {
    {6, 6},  {6, 6}, {7, 7}, {7, 7},                 // + - * /
    {8, 8},  {8, 8}, {8, 8}, {8, 8},                 // & | << >>
    {10, 9}, {5, 4},                                 // ^ .. (right associative)
    {3, 3},  {3, 3}, {3, 3}, {3, 3}, {3, 3}, {3, 3}, // ~= == < <= > >=
    {2, 2},  {1, 1}                                  // and or
};
constexpr int kUnaryPriority = 8;

BinOpr BinaryOperator(int token)
{
    switch (token)
    {
    case '+':
        return kOprAdd;
    case '-':
        return kOprSub;
    case '*':
        return kOprMul;
    case '/':
        return kOprDiv;
    case '&':
        return kOprBand;
    case '|':
        return kOprBor;
    case kTokShl:
        return kOprShl;
    case kTokShr:
        return kOprShr;
    case '^':
        return kOprPow;
    case kTokConcat:
        return kOprConcat;
    case kTokNe:
        return kOprNe;
    case kTokEq:
        return kOprEq;
    case '<':
        return kOprLt;
    case kTokLe:
        return kOprLe;
    case '>':
        return kOprGt;
    case kTokGe:
        return kOprGe;
    case kTokAnd:
        return kOprAnd;
    case kTokOr:
        return kOprOr;
    default:
        return kOprNoBinary;
    }
}

UnOpr UnaryOperator(int token)
{
    if (token == '-')
        return kOprMinus;
    if (token == kTokNot)
        return kOprNot;
    return kOprNoUnary;
}

bool BlockFollow(int token)
{
    return token == kTokElse || token == kTokElseif || token == kTokEnd || token == kTokUntil ||
           token == kTokEos;
}

// Table size hint of NEWTABLE: a 3-bit mantissa with a 5-bit exponent, rounding up.
int FloatingByte(unsigned x)
{
    int e = 0;
    while (x >= 8)
    {
        x = (x + 1) >> 1;
        ++e;
    }
    return (e << 3) | static_cast<int>(x);
}

int Log2(unsigned x)
{
    int l = -1;
    while (x)
    {
        x >>= 1;
        ++l;
    }
    return l;
}

} // namespace

// One open block; loops collect the jumps of their exits until their end and continue point
// are known.
struct BlockScope
{
    BlockScope* previous = nullptr;
    int breakList = kNoJump;
    int continueList = kNoJump;
    int nactvar = 0;    // active locals outside the block
    bool upval = false; // some local of the block is captured by a closure
    bool isLoop = false;
};

namespace
{

struct ConstructorState
{
    ExpDesc v;        // last list item read
    ExpDesc* t;       // the table
    long long nh = 0; // hash items
    int na = 0;       // array items
    int toStore = 0;  // list items waiting for a SETLIST
};

struct AssignTarget
{
    AssignTarget* prev;
    ExpDesc v;
};

class Parser
{
public:
    explicit Parser(Lexer& lexer) : mLex(lexer) {}

    std::unique_ptr<FunctionPrototype> MainFunction()
    {
        auto main = std::make_unique<FunctionPrototype>();
        FuncState fs(mLex, *main, nullptr);
        OpenFunction(fs);
        mLex.Next();
        Chunk();
        if (Tok() != kTokEos)
            mLex.SyntaxErrorHere("<eof> expected");
        CloseFunction();
        return main;
    }

private:
    Lexer& mLex;
    FuncState* mFs = nullptr;
    int mNestLevel = 0;

    // --- tokens ---------------------------------------------------------------------------

    int Tok() const { return mLex.Current().code; }
    void Next() { mLex.Next(); }

    bool TestNext(int c)
    {
        if (Tok() != c)
            return false;
        Next();
        return true;
    }

    [[noreturn]] void ErrorExpected(int token)
    {
        mLex.SyntaxErrorHere("`" + TokenName(token) + "' expected");
    }

    void Check(int c)
    {
        if (Tok() != c)
            ErrorExpected(c);
        Next();
    }

    void CheckMatch(int what, int who, int where)
    {
        if (TestNext(what))
            return;
        if (where == mLex.Line())
            ErrorExpected(what);
        mLex.SyntaxErrorHere("`" + TokenName(what) + "' expected (to close `" + TokenName(who) +
                             "' at line " + std::to_string(where) + ")");
    }

    std::string CheckName()
    {
        if (Tok() != kTokName)
            mLex.SyntaxErrorHere("<name> expected");
        std::string name = mLex.Current().text;
        Next();
        return name;
    }

    void CodeString(ExpDesc& e, const std::string& s)
    {
        e.Init(kExpConstant, mFs->StringConstant(s));
    }

    void CheckNameExp(ExpDesc& e) { CodeString(e, CheckName()); }

    void EnterLevel()
    {
        if (++mNestLevel > kMaxSyntaxLevels)
            mLex.SyntaxErrorHere("too many syntax levels");
    }
    void LeaveLevel() { --mNestLevel; }

    // --- variables ------------------------------------------------------------------------

    LocalVarInfo& LocalAt(FuncState& fs, int i)
    {
        return fs.mProto.locals[static_cast<size_t>(fs.mActiveVars[static_cast<size_t>(i)])];
    }

    void NewLocalVar(const std::string& name, int n)
    {
        FuncState& fs = *mFs;
        mLex.CheckLimit(fs.mActiveLocals + n + 1, kMaxLocals, "local variables");
        size_t slot = static_cast<size_t>(fs.mActiveLocals + n);
        if (fs.mActiveVars.size() <= slot)
            fs.mActiveVars.resize(slot + 1);
        fs.mProto.locals.push_back(LocalVarInfo{name, 0, 0});
        fs.mActiveVars[slot] = static_cast<int>(fs.mProto.locals.size()) - 1;
    }

    void AdjustLocalVars(int nvars)
    {
        FuncState& fs = *mFs;
        fs.mActiveLocals += nvars;
        for (; nvars; --nvars)
            LocalAt(fs, fs.mActiveLocals - nvars).startPc = fs.Pc();
    }

    void RemoveVars(int toLevel)
    {
        FuncState& fs = *mFs;
        while (fs.mActiveLocals > toLevel)
            LocalAt(fs, --fs.mActiveLocals).endPc = fs.Pc();
    }

    void CreateLocal(const char* name)
    {
        NewLocalVar(name, 0);
        AdjustLocalVars(1);
    }

    int IndexUpvalue(FuncState& fs, const std::string& name, const ExpDesc& v)
    {
        for (size_t i = 0; i < fs.mUpvalues.size(); ++i)
        {
            if (fs.mUpvalues[i].k == v.k && fs.mUpvalues[i].info == v.info)
                return static_cast<int>(i);
        }
        mLex.CheckLimit(static_cast<long long>(fs.mUpvalues.size()) + 1, kMaxUpvalues, "upvalues");
        fs.mProto.upvalueNames.push_back(name);
        fs.mUpvalues.push_back(UpvalueDesc{v.k, v.info});
        return static_cast<int>(fs.mUpvalues.size()) - 1;
    }

    int SearchVar(FuncState& fs, const std::string& name)
    {
        for (int i = fs.mActiveLocals - 1; i >= 0; --i)
        {
            if (LocalAt(fs, i).name == name)
                return i;
        }
        return -1;
    }

    static void MarkUpvalue(FuncState& fs, int level)
    {
        BlockScope* bl = fs.mBlock;
        while (bl && bl->nactvar > level)
            bl = bl->previous;
        if (bl)
            bl->upval = true;
    }

    void SingleVarAux(FuncState* fs, const std::string& name, ExpDesc& var, bool base)
    {
        if (!fs)
        {
            var.Init(kExpGlobal, NO_REG);
            return;
        }
        int v = SearchVar(*fs, name);
        if (v >= 0)
        {
            var.Init(kExpLocal, v);
            if (!base)
                MarkUpvalue(*fs, v); // seen from an inner function
            return;
        }
        SingleVarAux(fs->mPrev, name, var, false);
        if (var.k == kExpGlobal)
        {
            if (base)
                var.info = fs->StringConstant(name);
        }
        else
        {
            var.info = IndexUpvalue(*fs, name, var);
            var.k = kExpUpvalue;
        }
    }

    void SingleVar(ExpDesc& var, bool base)
    {
        std::string name = CheckName();
        SingleVarAux(mFs, name, var, base);
    }

    // --- blocks and functions -------------------------------------------------------------

    void EnterBlock(BlockScope& bl, bool isLoop)
    {
        bl.breakList = kNoJump;
        bl.continueList = kNoJump;
        bl.isLoop = isLoop;
        bl.nactvar = mFs->mActiveLocals;
        bl.upval = false;
        bl.previous = mFs->mBlock;
        mFs->mBlock = &bl;
        assert(mFs->mFreeReg == mFs->mActiveLocals);
    }

    void LeaveBlock()
    {
        FuncState& fs = *mFs;
        BlockScope* bl = fs.mBlock;
        fs.mBlock = bl->previous;
        RemoveVars(bl->nactvar);
        if (bl->upval)
            fs.CodeABC(OP_CLOSE, bl->nactvar, 0, 0);
        fs.mFreeReg = fs.mActiveLocals;
        fs.PatchToHere(bl->breakList);
    }

    void OpenFunction(FuncState& fs)
    {
        fs.mProto.source = mLex.Source();
        fs.mProto.maxStackSize = 2;
        fs.mActiveVars.reserve(kMaxLocals);
        mFs = &fs;
    }

    void CloseFunction()
    {
        RemoveVars(0);
        mFs->CodeABC(OP_RETURN, 0, 1, 0); // final return
        assert(mFs->mBlock == nullptr);
        mFs = mFs->mPrev;
    }

    void PushClosure(FuncState& child, std::unique_ptr<FunctionPrototype> proto, ExpDesc& v)
    {
        FuncState& fs = *mFs;
        if (static_cast<int>(fs.mProto.children.size()) >= MAXARG_Bx)
            mLex.SyntaxErrorHere("constant table overflow");
        fs.mProto.children.push_back(std::move(proto));
        v.Init(kExpRelocable,
               fs.CodeABx(OP_CLOSURE, 0, static_cast<int>(fs.mProto.children.size()) - 1));
        for (const UpvalueDesc& up : child.mUpvalues)
        {
            OpCode op = up.k == kExpLocal ? OP_MOVE : OP_GETUPVAL;
            fs.CodeABC(op, 0, up.info, 0);
        }
    }

    void ParameterList()
    {
        int nparams = 0;
        bool dots = false;
        if (Tok() != ')')
        {
            do
            {
                switch (Tok())
                {
                case kTokDots:
                    dots = true;
                    Next();
                    break;
                case kTokName:
                    NewLocalVar(CheckName(), nparams++);
                    break;
                default:
                    mLex.SyntaxErrorHere("<name> or `...' expected");
                }
            } while (!dots && TestNext(','));
        }
        FuncState& fs = *mFs;
        AdjustLocalVars(nparams);
        mLex.CheckLimit(fs.mActiveLocals, kMaxParams, "parameters");
        fs.mProto.numParams = fs.mActiveLocals;
        fs.mProto.isVararg = dots;
        if (dots)
            CreateLocal("arg");
        fs.ReserveRegs(fs.mActiveLocals);
    }

    void Body(ExpDesc& e, bool needSelf, int line)
    {
        auto proto = std::make_unique<FunctionPrototype>();
        FuncState child(mLex, *proto, mFs);
        OpenFunction(child);
        proto->lineDefined = line;
        Check('(');
        if (needSelf)
            CreateLocal("self");
        ParameterList();
        Check(')');
        Chunk();
        CheckMatch(kTokEnd, kTokFunction, line);
        CloseFunction();
        PushClosure(child, std::move(proto), e);
    }

    // --- expressions ----------------------------------------------------------------------

    int ExpList1(ExpDesc& v)
    {
        int n = 1;
        Expr(v);
        while (TestNext(','))
        {
            mFs->Exp2NextReg(v);
            Expr(v);
            ++n;
        }
        return n;
    }

    void FuncArgs(ExpDesc& f)
    {
        FuncState& fs = *mFs;
        ExpDesc args;
        int line = mLex.Line();
        switch (Tok())
        {
        case '(':
            if (line != mLex.LastLine())
                mLex.SyntaxErrorHere("ambiguous syntax (function call x new statement)");
            Next();
            if (Tok() == ')')
            {
                args.k = kExpVoid;
            }
            else
            {
                ExpList1(args);
                fs.SetCallReturns(args, kMultipleReturns);
            }
            CheckMatch(')', '(', line);
            break;
        case '{':
            Constructor(args);
            break;
        case kTokString:
            CodeString(args, mLex.Current().text);
            Next();
            break;
        case kTokWideString:
            args.Init(kExpConstant, fs.WideConstant(mLex.Current().wide));
            Next();
            break;
        default:
            mLex.SyntaxErrorHere("function arguments expected");
        }
        assert(f.k == kExpNonRelocable);
        int base = f.info;
        int nparams;
        if (args.k == kExpCall)
        {
            nparams = kMultipleReturns; // open call: all results of the last argument
        }
        else
        {
            if (args.k != kExpVoid)
                fs.Exp2NextReg(args);
            nparams = fs.mFreeReg - (base + 1);
        }
        f.Init(kExpCall, fs.CodeABC(OP_CALL, base, nparams + 1, 2));
        fs.FixLine(line);
        fs.mFreeReg = base + 1; // the call leaves one result unless told otherwise
    }

    void Field(ExpDesc& v)
    {
        FuncState& fs = *mFs;
        ExpDesc key;
        fs.Exp2AnyReg(v);
        Next(); // skip the dot or colon
        CheckNameExp(key);
        fs.Indexed(v, key);
    }

    void Index(ExpDesc& v)
    {
        Next(); // skip "["
        Expr(v);
        mFs->Exp2Val(v);
        Check(']');
    }

    void PrefixExp(ExpDesc& v)
    {
        switch (Tok())
        {
        case '(':
        {
            int line = mLex.Line();
            Next();
            Expr(v);
            CheckMatch(')', '(', line);
            mFs->DischargeVars(v);
            return;
        }
        case kTokName:
            SingleVar(v, true);
            return;
        default:
            mLex.SyntaxErrorHere("unexpected symbol");
        }
    }

    void PrimaryExp(ExpDesc& v)
    {
        FuncState& fs = *mFs;
        PrefixExp(v);
        for (;;)
        {
            switch (Tok())
            {
            case '.':
                Field(v);
                break;
            case '[':
            {
                ExpDesc key;
                fs.Exp2AnyReg(v);
                Index(key);
                fs.Indexed(v, key);
                break;
            }
            case ':':
            {
                ExpDesc key;
                Next();
                CheckNameExp(key);
                fs.Self(v, key);
                FuncArgs(v);
                break;
            }
            case '(':
            case kTokString:
            case kTokWideString:
            case '{':
                fs.Exp2NextReg(v);
                FuncArgs(v);
                break;
            default:
                return;
            }
        }
    }

    void SimpleExp(ExpDesc& v)
    {
        FuncState& fs = *mFs;
        switch (Tok())
        {
        case kTokNumber:
            v.Init(kExpConstant, fs.NumberConstant(mLex.Current().number));
            Next();
            break;
        case kTokString:
            CodeString(v, mLex.Current().text);
            Next();
            break;
        case kTokWideString:
            v.Init(kExpConstant, fs.WideConstant(mLex.Current().wide));
            Next();
            break;
        case kTokNil:
            v.Init(kExpNil, 0);
            Next();
            break;
        case kTokTrue:
            v.Init(kExpTrue, 0);
            Next();
            break;
        case kTokFalse:
            v.Init(kExpFalse, 0);
            Next();
            break;
        case '{':
            Constructor(v);
            break;
        case kTokFunction:
            Next();
            Body(v, false, mLex.Line());
            break;
        default:
            PrimaryExp(v);
            break;
        }
    }

    // Reads an expression whose binary operators bind tighter than limit; returns the first
    // operator that does not.
    BinOpr SubExpr(ExpDesc& v, int limit)
    {
        EnterLevel();
        UnOpr uop = UnaryOperator(Tok());
        if (uop != kOprNoUnary)
        {
            Next();
            SubExpr(v, kUnaryPriority);
            mFs->Prefix(uop, v);
        }
        else
        {
            SimpleExp(v);
        }
        BinOpr op = BinaryOperator(Tok());
        while (op != kOprNoBinary && kPriority[op].left > limit)
        {
            ExpDesc v2;
            Next();
            mFs->Infix(op, v);
            BinOpr nextOp = SubExpr(v2, kPriority[op].right);
            mFs->Posfix(op, v, v2);
            op = nextOp;
        }
        LeaveLevel();
        return op;
    }

    void Expr(ExpDesc& v) { SubExpr(v, -1); }

    // --- table constructors ---------------------------------------------------------------

    long long SizeHint(long long limit)
    {
        Next(); // skip "&"
        if (Tok() != kTokNumber)
        {
            mLex.SyntaxErrorHere("size expected following & (line " + std::to_string(mLex.Line()) +
                                 ")");
        }
        double value = mLex.Current().number;
        long long hint = 0;
        if (value >= 1)
            hint = value > static_cast<double>(limit) ? limit + 1 : static_cast<long long>(value);
        mLex.CheckLimit(hint, limit, "items in a constructor");
        Next();
        return hint;
    }

    void CloseListField(ConstructorState& cc)
    {
        FuncState& fs = *mFs;
        if (cc.v.k == kExpVoid)
            return;
        fs.Exp2NextReg(cc.v);
        cc.v.k = kExpVoid;
        if (cc.toStore == LFIELDS_PER_FLUSH)
        {
            fs.CodeABx(OP_SETLIST, cc.t->info, cc.na - 1);
            cc.toStore = 0;
            fs.mFreeReg = cc.t->info + 1;
        }
    }

    void LastListField(ConstructorState& cc)
    {
        FuncState& fs = *mFs;
        if (cc.toStore == 0)
            return;
        if (cc.v.k == kExpCall)
        {
            fs.SetCallReturns(cc.v, kMultipleReturns);
            fs.CodeABx(OP_SETLISTO, cc.t->info, cc.na - 1);
        }
        else
        {
            if (cc.v.k != kExpVoid)
                fs.Exp2NextReg(cc.v);
            fs.CodeABx(OP_SETLIST, cc.t->info, cc.na - 1);
        }
        fs.mFreeReg = cc.t->info + 1;
    }

    void ListField(ConstructorState& cc)
    {
        Expr(cc.v);
        mLex.CheckLimit(cc.na, MAXARG_Bx, "items in a constructor");
        ++cc.na;
        ++cc.toStore;
    }

    void RecField(ConstructorState& cc)
    {
        FuncState& fs = *mFs;
        int reg = fs.mFreeReg;
        ExpDesc key;
        ExpDesc val;
        if (Tok() == kTokName)
        {
            mLex.CheckLimit(cc.nh, kMaxHashItems, "items in a constructor");
            CheckNameExp(key);
        }
        else
        {
            Index(key);
        }
        ++cc.nh;
        Check('=');
        fs.Exp2RK(key);
        Expr(val);
        int rkKey = fs.Exp2RK(key);
        int rkVal = fs.Exp2RK(val);
        fs.CodeABC(OP_SETTABLE, cc.t->info, rkKey, rkVal);
        fs.mFreeReg = reg;
    }

    void Constructor(ExpDesc& t)
    {
        FuncState& fs = *mFs;
        int line = mLex.Line();
        int pc = fs.CodeABC(OP_NEWTABLE, 0, 0, 0);
        ConstructorState cc;
        cc.t = &t;
        t.Init(kExpRelocable, pc);
        cc.v.Init(kExpVoid, 0);
        fs.Exp2NextReg(t); // the table sits at the top while its items are built
        Check('{');
        long long hashHint = 0;
        long long arrayHint = 0;
        if (Tok() == '&')
        {
            hashHint = SizeHint(kMaxHashItems);
            if (Tok() == '&')
                arrayHint = SizeHint(MAXARG_Bx);
        }
        do
        {
            assert(cc.v.k == kExpVoid || cc.toStore > 0);
            // A ";" may open the constructor or follow a separator: what is left of the old
            // "{list; record}" form, accepted and ignored.
            TestNext(';');
            if (Tok() == '}')
                break;
            CloseListField(cc);
            switch (Tok())
            {
            case kTokName:
                // A name is a key only when "=" follows.
                if (mLex.LookAhead() != '=')
                    ListField(cc);
                else
                    RecField(cc);
                break;
            case '[':
                RecField(cc);
                break;
            default:
                ListField(cc);
                break;
            }
        } while (TestNext(',') || TestNext(';'));
        CheckMatch('}', '{', line);
        LastListField(cc);
        long long na = std::max<long long>(cc.na, arrayHint);
        long long nh = std::max<long long>(cc.nh, hashHint);
        Instruction& newTable = fs.InstructionAt(pc);
        if (na > 0)
            SETARG_B(newTable, FloatingByte(static_cast<unsigned>(na)));
        SETARG_C(newTable, Log2(static_cast<unsigned>(nh)) + 1);
    }

    // --- statements -----------------------------------------------------------------------

    void Block()
    {
        BlockScope bl;
        EnterBlock(bl, false);
        Chunk();
        assert(bl.breakList == kNoJump);
        LeaveBlock();
    }

    // Avoids a local being overwritten too early in a multiple assignment when a previous
    // target indexes through it.
    void CheckConflict(AssignTarget* lh, const ExpDesc& v)
    {
        FuncState& fs = *mFs;
        int extra = fs.mFreeReg;
        bool conflict = false;
        for (; lh; lh = lh->prev)
        {
            if (lh->v.k != kExpIndexed)
                continue;
            if (lh->v.info == v.info)
            {
                conflict = true;
                lh->v.info = extra;
            }
            if (lh->v.aux == v.info)
            {
                conflict = true;
                lh->v.aux = extra;
            }
        }
        if (conflict)
        {
            fs.CodeABC(OP_MOVE, fs.mFreeReg, v.info, 0);
            fs.ReserveRegs(1);
        }
    }

    void AdjustAssign(int nvars, int nexps, ExpDesc& e)
    {
        FuncState& fs = *mFs;
        int extra = nvars - nexps;
        if (e.k == kExpCall)
        {
            ++extra; // the call itself counts
            if (extra < 0)
                extra = 0;
            fs.SetCallReturns(e, extra);
            if (extra > 1)
                fs.ReserveRegs(extra - 1);
        }
        else
        {
            if (e.k != kExpVoid)
                fs.Exp2NextReg(e);
            if (extra > 0)
            {
                int reg = fs.mFreeReg;
                fs.ReserveRegs(extra);
                fs.Nil(reg, extra);
            }
        }
    }

    void Assignment(AssignTarget* lh, int nvars)
    {
        FuncState& fs = *mFs;
        ExpDesc e;
        if (!(lh->v.k == kExpLocal || lh->v.k == kExpUpvalue || lh->v.k == kExpGlobal ||
              lh->v.k == kExpIndexed))
            mLex.SyntaxErrorHere("syntax error");
        if (TestNext(','))
        {
            // Each further target nests one level deeper.
            EnterLevel();
            AssignTarget nv{lh, ExpDesc()};
            PrimaryExp(nv.v);
            if (nv.v.k == kExpLocal)
                CheckConflict(lh, nv.v);
            Assignment(&nv, nvars + 1);
            LeaveLevel();
        }
        else
        {
            Check('=');
            int nexps = ExpList1(e);
            if (nexps != nvars)
            {
                AdjustAssign(nvars, nexps, e);
                if (nexps > nvars)
                    fs.mFreeReg -= nexps - nvars; // drop the extra values
            }
            else
            {
                fs.SetCallReturns(e, 1);
                fs.StoreVar(lh->v, e);
                return;
            }
        }
        e.Init(kExpNonRelocable, fs.mFreeReg - 1); // the value for this target is on top
        fs.StoreVar(lh->v, e);
    }

    void Cond(ExpDesc& v)
    {
        Expr(v);
        if (v.k == kExpNil)
            v.k = kExpFalse;
        mFs->GoIfTrue(v);
        mFs->PatchToHere(v.t);
    }

    // Exit or next iteration of the count-th enclosing loop. Captured locals of every block the
    // jump leaves are closed first, so that closures of different iterations never share a
    // variable.
    void LoopExit(bool isBreak)
    {
        FuncState& fs = *mFs;
        Next(); // skip the keyword
        int count = 1;
        if (Tok() == kTokNumber)
        {
            double n = mLex.Current().number;
            if (std::floor(n) != n)
                mLex.SyntaxErrorHere("loop block number must be integer");
            if (n < 1 || n > kMaxLoopCount)
                mLex.SyntaxErrorHere("loop block number out of range");
            count = static_cast<int>(n);
            Next();
        }
        bool captured = false;
        int loops = 0;
        BlockScope* target = fs.mBlock;
        for (; target; target = target->previous)
        {
            if (target->isLoop && ++loops == count)
                break;
            captured = captured || target->upval;
        }
        if (!target)
            mLex.SyntaxErrorHere(isBreak ? "no loop to break" : "no loop to continue");
        if (captured)
            fs.CodeABC(OP_CLOSE, target->nactvar, 0, 0);
        fs.Concat(isBreak ? target->breakList : target->continueList, fs.Jump());
    }

    void WhileStat(int line)
    {
        FuncState& fs = *mFs;
        Next();
        int whileInit = fs.Jump(); // to the condition, which is moved behind the body
        int expInit = fs.GetLabel();
        ExpDesc v;
        Expr(v);
        if (v.k == kExpConstant)
            v.k = kExpTrue; // every constant is true here
        int lineExp = mLex.Line();
        fs.GoIfFalse(v);
        fs.Concat(v.f, fs.mJpc);
        fs.mJpc = kNoJump;
        int sizeExp = fs.Pc() - expInit;
        if (sizeExp > kMaxWhileCondition)
            mLex.SyntaxErrorHere("`while' condition too complex");
        std::vector<Instruction> condition(fs.mProto.code.begin() + expInit, fs.mProto.code.end());
        fs.mProto.code.resize(static_cast<size_t>(expInit));
        fs.mProto.lineInfo.resize(static_cast<size_t>(expInit));
        BlockScope bl;
        EnterBlock(bl, true);
        Check(kTokDo);
        int blockInit = fs.GetLabel();
        Block();
        fs.PatchToHere(whileInit);
        fs.PatchToHere(bl.continueList); // continue tests the condition again
        int shift = fs.Pc() - expInit;
        if (v.t != kNoJump)
            v.t += shift;
        if (v.f != kNoJump)
            v.f += shift;
        for (Instruction i : condition)
            fs.Emit(i, lineExp);
        CheckMatch(kTokEnd, kTokWhile, line);
        LeaveBlock();
        fs.PatchList(v.t, blockInit); // true conditions go back into the loop
        fs.PatchToHere(v.f);
    }

    void RepeatStat(int line)
    {
        FuncState& fs = *mFs;
        int repeatInit = fs.GetLabel();
        BlockScope bl;
        EnterBlock(bl, true);
        Next();
        Block();
        fs.PatchToHere(bl.continueList); // continue tests the condition
        CheckMatch(kTokUntil, kTokRepeat, line);
        ExpDesc v;
        Cond(v);
        fs.PatchList(v.f, repeatInit);
        LeaveBlock();
    }

    void Exp1()
    {
        ExpDesc e;
        Expr(e);
        mFs->Exp2NextReg(e);
    }

    void ForBody(int base, int line, int nvars, bool isNumeric)
    {
        FuncState& fs = *mFs;
        AdjustLocalVars(nvars);
        Check(kTokDo);
        BlockScope bl;
        EnterBlock(bl, true);
        int prep = fs.GetLabel();
        Block();
        fs.PatchToHere(prep - 1);
        fs.PatchToHere(bl.continueList); // continue steps to the next iteration
        int endFor = isNumeric ? fs.CodeAsBx(OP_FORLOOP, base, kNoJump)
                               : fs.CodeABC(OP_TFORLOOP, base, 0, nvars - 3);
        fs.FixLine(line);
        fs.PatchList(isNumeric ? endFor : fs.Jump(), prep);
        LeaveBlock();
    }

    void ForNum(const std::string& varName, int line)
    {
        FuncState& fs = *mFs;
        int base = fs.mFreeReg;
        NewLocalVar(varName, 0);
        NewLocalVar("(for limit)", 1);
        NewLocalVar("(for step)", 2);
        Check('=');
        Exp1();
        Check(',');
        Exp1();
        if (TestNext(','))
        {
            Exp1();
        }
        else
        {
            fs.CodeABx(OP_LOADK, fs.mFreeReg, fs.NumberConstant(1));
            fs.ReserveRegs(1);
        }
        // The loop instruction adds the step before testing, so start one step early.
        fs.CodeABC(OP_SUB, fs.mFreeReg - 3, fs.mFreeReg - 3, fs.mFreeReg - 1);
        fs.Jump();
        ForBody(base, line, 3, true);
    }

    void ForList(const std::string& indexName)
    {
        FuncState& fs = *mFs;
        int nvars = 0;
        int base = fs.mFreeReg;
        NewLocalVar("(for generator)", nvars++);
        NewLocalVar("(for state)", nvars++);
        NewLocalVar(indexName, nvars++);
        while (TestNext(','))
            NewLocalVar(CheckName(), nvars++);
        Check(kTokIn);
        int line = mLex.Line();
        ExpDesc e;
        int nexps = ExpList1(e);
        AdjustAssign(nvars, nexps, e);
        fs.CheckStack(3); // room to call the generator
        fs.CodeAsBx(OP_TFORPREP, base, kNoJump);
        ForBody(base, line, nvars, false);
    }

    void ForStat(int line)
    {
        BlockScope bl;
        EnterBlock(bl, false); // scope of the control variables
        Next();
        std::string varName = CheckName();
        switch (Tok())
        {
        case '=':
            ForNum(varName, line);
            break;
        case ',':
        case kTokIn:
            ForList(varName);
            break;
        default:
            mLex.SyntaxErrorHere("`=' or `in' expected");
        }
        CheckMatch(kTokEnd, kTokFor, line);
        LeaveBlock();
    }

    void TestThenBlock(ExpDesc& v)
    {
        Next(); // skip IF or ELSEIF
        Cond(v);
        Check(kTokThen);
        Block();
    }

    void IfStat(int line)
    {
        FuncState& fs = *mFs;
        ExpDesc v;
        int escapeList = kNoJump;
        TestThenBlock(v);
        while (Tok() == kTokElseif)
        {
            fs.Concat(escapeList, fs.Jump());
            fs.PatchToHere(v.f);
            TestThenBlock(v);
        }
        if (Tok() == kTokElse)
        {
            fs.Concat(escapeList, fs.Jump());
            fs.PatchToHere(v.f);
            Next(); // after the patch, so the line information is right
            Block();
        }
        else
        {
            fs.Concat(escapeList, v.f);
        }
        fs.PatchToHere(escapeList);
        CheckMatch(kTokEnd, kTokIf, line);
    }

    void LocalFunction()
    {
        FuncState& fs = *mFs;
        ExpDesc v;
        ExpDesc b;
        NewLocalVar(CheckName(), 0);
        v.Init(kExpLocal, fs.mFreeReg);
        fs.ReserveRegs(1);
        AdjustLocalVars(1);
        Body(b, false, mLex.Line());
        fs.StoreVar(v, b);
        // The variable is visible to debug information only once it holds the function.
        LocalAt(fs, fs.mActiveLocals - 1).startPc = fs.Pc();
    }

    void LocalStat()
    {
        int nvars = 0;
        int nexps;
        ExpDesc e;
        do
        {
            NewLocalVar(CheckName(), nvars++);
        } while (TestNext(','));
        if (TestNext('='))
        {
            nexps = ExpList1(e);
        }
        else
        {
            e.k = kExpVoid;
            nexps = 0;
        }
        AdjustAssign(nvars, nexps, e);
        AdjustLocalVars(nvars);
    }

    bool FuncName(ExpDesc& v)
    {
        bool needSelf = false;
        SingleVar(v, true);
        while (Tok() == '.')
            Field(v);
        if (Tok() == ':')
        {
            needSelf = true;
            Field(v);
        }
        return needSelf;
    }

    void FuncStat(int line)
    {
        ExpDesc v;
        ExpDesc b;
        Next(); // skip FUNCTION
        bool needSelf = FuncName(v);
        Body(b, needSelf, line);
        mFs->StoreVar(v, b);
        mFs->FixLine(line); // the definition happens on its first line
    }

    void ExprStat()
    {
        AssignTarget v{nullptr, ExpDesc()};
        PrimaryExp(v.v);
        if (v.v.k == kExpCall)
            mFs->SetCallReturns(v.v, 0); // a call statement keeps no results
        else
            Assignment(&v, 1);
    }

    void RetStat()
    {
        FuncState& fs = *mFs;
        ExpDesc e;
        int first;
        int nret;
        Next(); // skip RETURN
        if (BlockFollow(Tok()) || Tok() == ';')
        {
            first = nret = 0;
        }
        else
        {
            nret = ExpList1(e);
            if (e.k == kExpCall)
            {
                fs.SetCallReturns(e, kMultipleReturns);
                if (nret == 1)
                    SET_OPCODE(fs.Code(e), OP_TAILCALL);
                first = fs.mActiveLocals;
                nret = kMultipleReturns;
            }
            else if (nret == 1)
            {
                first = fs.Exp2AnyReg(e);
            }
            else
            {
                fs.Exp2NextReg(e); // the values go to consecutive registers
                first = fs.mActiveLocals;
                assert(nret == fs.mFreeReg - first);
            }
        }
        fs.CodeABC(OP_RETURN, first, nret + 1, 0);
    }

    // Returns whether the statement must be the last of its block.
    bool Statement()
    {
        int line = mLex.Line();
        switch (Tok())
        {
        case kTokIf:
            IfStat(line);
            return false;
        case kTokWhile:
            WhileStat(line);
            return false;
        case kTokDo:
            Next();
            Block();
            CheckMatch(kTokEnd, kTokDo, line);
            return false;
        case kTokFor:
            ForStat(line);
            return false;
        case kTokRepeat:
            RepeatStat(line);
            return false;
        case kTokFunction:
            FuncStat(line);
            return false;
        case kTokLocal:
            Next();
            if (TestNext(kTokFunction))
                LocalFunction();
            else
                LocalStat();
            return false;
        case kTokReturn:
            RetStat();
            return true;
        case kTokBreak:
            LoopExit(true);
            return true;
        case kTokContinue:
            LoopExit(false);
            return true;
        default:
            ExprStat();
            return false;
        }
    }

    void Chunk()
    {
        bool isLast = false;
        EnterLevel();
        while (!isLast && !BlockFollow(Tok()))
        {
            isLast = Statement();
            TestNext(';');
            assert(mFs->mFreeReg >= mFs->mActiveLocals);
            mFs->mFreeReg = mFs->mActiveLocals; // free the registers of the statement
        }
        LeaveLevel();
    }
};

} // namespace

std::unique_ptr<FunctionPrototype> CompileChunk(const char* buffer, size_t size, bool wideSource,
                                                const std::string& chunkName, SourceRefill refill)
{
    Lexer lexer(buffer, size, wideSource, chunkName, std::move(refill));
    Parser parser(lexer);
    return parser.MainFunction();
}

} // namespace script
