// Names and operand modes of the 39 operations.
#include "script/core/opcodes.h"

const char* const luaP_opnames[NUM_OPCODES] = {
    "MOVE",     "LOADK",    "LOADBOOL", "LOADNIL", "GETUPVAL", "GETGLOBAL", "GETTABLE", "SETGLOBAL",
    "SETUPVAL", "SETTABLE", "NEWTABLE", "SELF",    "ADD",      "SUB",       "MUL",      "DIV",
    "BAND",     "BOR",      "SHL",      "SHR",     "POW",      "UNM",       "NOT",      "CONCAT",
    "JMP",      "EQ",       "LT",       "LE",      "TEST",     "CALL",      "TAILCALL", "RETURN",
    "FORLOOP",  "TFORLOOP", "TFORPREP", "SETLIST", "SETLISTO", "CLOSE",     "CLOSURE"};

static constexpr uint8_t Mode(int t, int a, int k, int brk, int crk, int breg, OpMode m)
{
    return static_cast<uint8_t>((t << OpModeT) | (a << OpModesetA) | (k << OpModeK) |
                                (brk << OpModeBrk) | (crk << OpModeCrk) | (breg << OpModeBreg) | m);
}

//                                          T  A  K  Bk Ck Br mode
const uint8_t luaP_opmodes[NUM_OPCODES] = {Mode(0, 1, 0, 0, 0, 1, iABC),  // MOVE
                                           Mode(0, 1, 1, 0, 0, 0, iABx),  // LOADK
                                           Mode(0, 1, 0, 0, 0, 0, iABC),  // LOADBOOL
                                           Mode(0, 1, 0, 0, 0, 1, iABC),  // LOADNIL
                                           Mode(0, 1, 0, 0, 0, 0, iABC),  // GETUPVAL
                                           Mode(0, 1, 1, 0, 0, 0, iABx),  // GETGLOBAL
                                           Mode(0, 1, 0, 0, 1, 1, iABC),  // GETTABLE
                                           Mode(0, 0, 1, 0, 0, 0, iABx),  // SETGLOBAL
                                           Mode(0, 0, 0, 0, 0, 0, iABC),  // SETUPVAL
                                           Mode(0, 0, 0, 1, 1, 0, iABC),  // SETTABLE
                                           Mode(0, 1, 0, 0, 0, 0, iABC),  // NEWTABLE
                                           Mode(0, 1, 0, 0, 1, 1, iABC),  // SELF
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // ADD
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // SUB
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // MUL
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // DIV
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // BAND
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // BOR
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // SHL
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // SHR
                                           Mode(0, 1, 0, 1, 1, 0, iABC),  // POW
                                           Mode(0, 1, 0, 0, 0, 1, iABC),  // UNM
                                           Mode(0, 1, 0, 0, 0, 1, iABC),  // NOT
                                           Mode(0, 1, 0, 0, 0, 1, iABC),  // CONCAT
                                           Mode(0, 0, 0, 0, 0, 0, iAsBx), // JMP
                                           Mode(1, 0, 0, 1, 1, 0, iABC),  // EQ
                                           Mode(1, 0, 0, 1, 1, 0, iABC),  // LT
                                           Mode(1, 0, 0, 1, 1, 0, iABC),  // LE
                                           Mode(1, 1, 0, 0, 0, 1, iABC),  // TEST
                                           Mode(0, 1, 0, 0, 0, 0, iABC),  // CALL
                                           Mode(0, 1, 0, 0, 0, 0, iABC),  // TAILCALL
                                           Mode(0, 0, 0, 0, 0, 0, iABC),  // RETURN
                                           Mode(0, 0, 0, 0, 0, 0, iAsBx), // FORLOOP
                                           Mode(1, 0, 0, 0, 0, 0, iABC),  // TFORLOOP
                                           Mode(0, 0, 0, 0, 0, 0, iAsBx), // TFORPREP
                                           Mode(0, 0, 0, 0, 0, 0, iABx),  // SETLIST
                                           Mode(0, 0, 0, 0, 0, 0, iABx),  // SETLISTO
                                           Mode(0, 0, 0, 0, 0, 0, iABC),  // CLOSE
                                           Mode(0, 1, 0, 0, 0, 0, iABx)}; // CLOSURE
