// Instruction encoding of the script virtual machine: 32-bit words holding an operation code and
// its operands, the 39 operations, their operand modes and the accessors used by every stage.
#pragma once

#include <cstdint>

typedef uint32_t Instruction;

// Field widths and positions: OP in bits 0-5, C in 6-14, B in 15-23, A in 24-31; Bx spans B and C.
enum
{
    SIZE_OP = 6,
    SIZE_A = 8,
    SIZE_B = 9,
    SIZE_C = 9,
    SIZE_Bx = SIZE_B + SIZE_C,
    POS_OP = 0,
    POS_C = POS_OP + SIZE_OP,
    POS_B = POS_C + SIZE_C,
    POS_Bx = POS_C,
    POS_A = POS_B + SIZE_B
};

constexpr int MAXARG_A = (1 << SIZE_A) - 1;
constexpr int MAXARG_B = (1 << SIZE_B) - 1;
constexpr int MAXARG_C = (1 << SIZE_C) - 1;
constexpr int MAXARG_Bx = (1 << SIZE_Bx) - 1;
constexpr int MAXARG_sBx = MAXARG_Bx >> 1; // sBx = Bx - 131071

// Registers of a function stay below this; RK operands at or above it name constants.
constexpr int MAXSTACK = 250;
// Items a SETLIST instruction stores at most ("fields per flush").
constexpr int LFIELDS_PER_FLUSH = 32;
// Marks "no register" in code analysis.
constexpr int NO_REG = MAXARG_A;

enum OpCode
{
    OP_MOVE = 0,
    OP_LOADK,
    OP_LOADBOOL,
    OP_LOADNIL,
    OP_GETUPVAL,
    OP_GETGLOBAL,
    OP_GETTABLE,
    OP_SETGLOBAL,
    OP_SETUPVAL,
    OP_SETTABLE,
    OP_NEWTABLE, // 10
    OP_SELF,
    OP_ADD,
    OP_SUB,
    OP_MUL,
    OP_DIV,
    OP_BAND, // 16
    OP_BOR,
    OP_SHL,
    OP_SHR,
    OP_POW, // 20
    OP_UNM,
    OP_NOT,
    OP_CONCAT,
    OP_JMP,
    OP_EQ,
    OP_LT,
    OP_LE,
    OP_TEST,
    OP_CALL,
    OP_TAILCALL, // 30
    OP_RETURN,
    OP_FORLOOP,
    OP_TFORLOOP,
    OP_TFORPREP,
    OP_SETLIST,
    OP_SETLISTO,
    OP_CLOSE,
    OP_CLOSURE // 38
};

constexpr int NUM_OPCODES = OP_CLOSURE + 1;

enum OpMode
{
    iABC,
    iABx,
    iAsBx
};

inline constexpr unsigned MaskOnes(int n, int p)
{
    return (~((~0u) << n)) << p;
}

inline OpCode GET_OPCODE(Instruction i)
{
    return static_cast<OpCode>((i >> POS_OP) & MaskOnes(SIZE_OP, 0));
}
inline int GETARG_A(Instruction i)
{
    return static_cast<int>((i >> POS_A) & MaskOnes(SIZE_A, 0));
}
inline int GETARG_B(Instruction i)
{
    return static_cast<int>((i >> POS_B) & MaskOnes(SIZE_B, 0));
}
inline int GETARG_C(Instruction i)
{
    return static_cast<int>((i >> POS_C) & MaskOnes(SIZE_C, 0));
}
inline int GETARG_Bx(Instruction i)
{
    return static_cast<int>((i >> POS_Bx) & MaskOnes(SIZE_Bx, 0));
}
inline int GETARG_sBx(Instruction i)
{
    return GETARG_Bx(i) - MAXARG_sBx;
}

inline void SET_OPCODE(Instruction& i, int o)
{
    i = (i & ~MaskOnes(SIZE_OP, POS_OP)) |
        ((static_cast<Instruction>(o) << POS_OP) & MaskOnes(SIZE_OP, POS_OP));
}
inline void SETARG_A(Instruction& i, int v)
{
    i = (i & ~MaskOnes(SIZE_A, POS_A)) |
        ((static_cast<Instruction>(v) << POS_A) & MaskOnes(SIZE_A, POS_A));
}
inline void SETARG_B(Instruction& i, int v)
{
    i = (i & ~MaskOnes(SIZE_B, POS_B)) |
        ((static_cast<Instruction>(v) << POS_B) & MaskOnes(SIZE_B, POS_B));
}
inline void SETARG_C(Instruction& i, int v)
{
    i = (i & ~MaskOnes(SIZE_C, POS_C)) |
        ((static_cast<Instruction>(v) << POS_C) & MaskOnes(SIZE_C, POS_C));
}
inline void SETARG_Bx(Instruction& i, int v)
{
    i = (i & ~MaskOnes(SIZE_Bx, POS_Bx)) |
        ((static_cast<Instruction>(v) << POS_Bx) & MaskOnes(SIZE_Bx, POS_Bx));
}
inline void SETARG_sBx(Instruction& i, int v)
{
    SETARG_Bx(i, v + MAXARG_sBx);
}

inline constexpr Instruction CREATE_ABC(int o, int a, int b, int c)
{
    return (static_cast<Instruction>(o) << POS_OP) | (static_cast<Instruction>(a) << POS_A) |
           (static_cast<Instruction>(b) << POS_B) | (static_cast<Instruction>(c) << POS_C);
}
inline constexpr Instruction CREATE_ABx(int o, int a, int bx)
{
    return (static_cast<Instruction>(o) << POS_OP) | (static_cast<Instruction>(a) << POS_A) |
           (static_cast<Instruction>(bx) << POS_Bx);
}
inline constexpr Instruction CREATE_AsBx(int o, int a, int sbx)
{
    return CREATE_ABx(o, a, sbx + MAXARG_sBx);
}

// RK operands: a value of MAXSTACK or more names constant (value - MAXSTACK).
inline constexpr bool ISK(int x)
{
    return x >= MAXSTACK;
}
inline constexpr int RKASK(int x)
{
    return x + MAXSTACK;
}

// Operand-mode description of each operation, used by the code checker and the name finder.
enum OpModeMask
{
    OpModeBreg = 2, // B is a register
    OpModeBrk,      // B is a register or constant
    OpModeCrk,      // C is a register or constant
    OpModesetA,     // the instruction sets register A
    OpModeK,        // Bx is a constant index
    OpModeT         // a test: the next instruction is a jump
};

extern const uint8_t luaP_opmodes[NUM_OPCODES];
extern const char* const luaP_opnames[NUM_OPCODES];

inline OpMode getOpMode(OpCode m)
{
    return static_cast<OpMode>(luaP_opmodes[m] & 3);
}
inline bool testOpMode(OpCode m, int b)
{
    return (luaP_opmodes[m] & (1 << b)) != 0;
}
