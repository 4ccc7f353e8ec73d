// The program's entry point: everything it does lives in the game's library, where tests reach it.
#include "game/game_main.h"

int main(int argc, char** argv)
{
    return RunProgram(argc, argv);
}
