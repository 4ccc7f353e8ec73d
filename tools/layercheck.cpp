// Development tool: checks src/ against tools/layering.txt and lists each violation; exits 1 when
// there is one, 2 when the rules cannot be read.
#include "layer_check.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fputs("usage: layercheck <src folder> <rules file>\n", stderr);
        return 2;
    }
    TLayerRules rules;
    std::string error;
    if (!LoadLayerRules(argv[2], rules, error))
    {
        std::fprintf(stderr, "layercheck: %s\n", error.c_str());
        return 2;
    }
    std::vector<std::string> violations = CheckLayering(argv[1], rules);
    for (const std::string& v : violations)
    {
        std::printf("%s\n", v.c_str());
    }
    if (!violations.empty())
    {
        std::printf("%zu violation(s); the rules and the owner list are in %s\n", violations.size(),
                    argv[2]);
        return 1;
    }
    return 0;
}
