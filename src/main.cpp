// The program's entry point: hands control to the game, as the platform's entry convention asks.
#include <cstdio>

int main(int, char**)
{
    // The application shell is not wired in yet; say so instead of pretending to run.
    std::fputs("murkwell: the application shell is not built yet\n", stderr);
    return 0;
}
