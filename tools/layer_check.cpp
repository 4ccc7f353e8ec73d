// Layering check: the rules reader, a lexer that blanks comments and literals so that only code is
// searched, and the three checks (include direction, system headers, watched calls).
#include "layer_check.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace
{

// Headers of the C and C++ standard libraries. <csignal> and <signal.h> are left out on purpose:
// signal handling belongs to the operating system's door.
const std::set<std::string> kStandardHeaders = {"algorithm",
                                                "any",
                                                "array",
                                                "atomic",
                                                "barrier",
                                                "bit",
                                                "bitset",
                                                "charconv",
                                                "chrono",
                                                "compare",
                                                "complex",
                                                "concepts",
                                                "condition_variable",
                                                "coroutine",
                                                "deque",
                                                "exception",
                                                "execution",
                                                "expected",
                                                "filesystem",
                                                "format",
                                                "forward_list",
                                                "fstream",
                                                "functional",
                                                "future",
                                                "initializer_list",
                                                "iomanip",
                                                "ios",
                                                "iosfwd",
                                                "iostream",
                                                "istream",
                                                "iterator",
                                                "latch",
                                                "limits",
                                                "list",
                                                "locale",
                                                "map",
                                                "memory",
                                                "memory_resource",
                                                "mutex",
                                                "new",
                                                "numbers",
                                                "numeric",
                                                "optional",
                                                "ostream",
                                                "queue",
                                                "random",
                                                "ranges",
                                                "ratio",
                                                "regex",
                                                "scoped_allocator",
                                                "semaphore",
                                                "set",
                                                "shared_mutex",
                                                "source_location",
                                                "span",
                                                "sstream",
                                                "stack",
                                                "stdexcept",
                                                "stop_token",
                                                "streambuf",
                                                "string",
                                                "string_view",
                                                "syncstream",
                                                "system_error",
                                                "thread",
                                                "tuple",
                                                "type_traits",
                                                "typeindex",
                                                "typeinfo",
                                                "unordered_map",
                                                "unordered_set",
                                                "utility",
                                                "valarray",
                                                "variant",
                                                "vector",
                                                "version",
                                                "cassert",
                                                "cctype",
                                                "cerrno",
                                                "cfenv",
                                                "cfloat",
                                                "cinttypes",
                                                "climits",
                                                "clocale",
                                                "cmath",
                                                "csetjmp",
                                                "cstdarg",
                                                "cstddef",
                                                "cstdint",
                                                "cstdio",
                                                "cstdlib",
                                                "cstring",
                                                "ctime",
                                                "cuchar",
                                                "cwchar",
                                                "cwctype",
                                                "assert.h",
                                                "ctype.h",
                                                "errno.h",
                                                "fenv.h",
                                                "float.h",
                                                "inttypes.h",
                                                "limits.h",
                                                "locale.h",
                                                "math.h",
                                                "setjmp.h",
                                                "stdarg.h",
                                                "stdbool.h",
                                                "stddef.h",
                                                "stdint.h",
                                                "stdio.h",
                                                "stdlib.h",
                                                "string.h",
                                                "time.h",
                                                "uchar.h",
                                                "wchar.h",
                                                "wctype.h"};

bool IsIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool UnderFolder(const std::string& path, const std::string& folder)
{
    if (folder.empty())
    {
        return true;
    }
    if (folder.back() == '/')
    {
        return path.compare(0, folder.size(), folder) == 0;
    }
    return path == folder ||
           (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/');
}

// The identifier-or-number token that ends just before pos.
std::string TokenBefore(const std::string& text, size_t pos)
{
    size_t start = pos;
    while (start > 0 && IsIdentChar(text[start - 1]))
    {
        start--;
    }
    return text.substr(start, pos - start);
}

// Blanks comments and the contents of string and character literals (quotes and newlines stay), so
// that line numbers hold and a name in a message or a comment is not taken for a call.
std::string BlankCommentsAndLiterals(const std::string& text)
{
    std::string out = text;
    size_t i = 0;
    const size_t n = text.size();
    auto blank = [&](size_t from, size_t to)
    {
        for (size_t k = from; k < to && k < n; k++)
        {
            if (out[k] != '\n')
            {
                out[k] = ' ';
            }
        }
    };
    while (i < n)
    {
        char c = text[i];
        if (c == '/' && i + 1 < n && text[i + 1] == '/')
        {
            size_t end = text.find('\n', i);
            end = end == std::string::npos ? n : end;
            blank(i, end);
            i = end;
        }
        else if (c == '/' && i + 1 < n && text[i + 1] == '*')
        {
            size_t end = text.find("*/", i + 2);
            end = end == std::string::npos ? n : end + 2;
            blank(i, end);
            i = end;
        }
        else if (c == '"')
        {
            std::string prefix = TokenBefore(text, i);
            if (!prefix.empty() && prefix.back() == 'R')
            {
                size_t open = text.find('(', i + 1);
                if (open == std::string::npos)
                {
                    return out;
                }
                std::string close = ")" + text.substr(i + 1, open - i - 1) + "\"";
                size_t end = text.find(close, open);
                end = end == std::string::npos ? n : end + close.size();
                blank(i + 1, end - 1);
                i = end;
                continue;
            }
            size_t k = i + 1;
            while (k < n && text[k] != '"' && text[k] != '\n')
            {
                k += text[k] == '\\' ? 2 : 1;
            }
            blank(i + 1, k);
            i = k + 1;
        }
        else if (c == '\'')
        {
            // A quote inside a number is a digit separator (1'000), not a character literal.
            std::string before = TokenBefore(text, i);
            if (!before.empty() && std::isdigit(static_cast<unsigned char>(before[0])))
            {
                i++;
                continue;
            }
            size_t k = i + 1;
            while (k < n && text[k] != '\'' && text[k] != '\n')
            {
                k += text[k] == '\\' ? 2 : 1;
            }
            blank(i + 1, k);
            i = k + 1;
        }
        else
        {
            i++;
        }
    }
    return out;
}

class TChecker
{
public:
    explicit TChecker(const TLayerRules& rules) : mRules(rules)
    {
        for (const auto& [folder, floor] : rules.mFloors)
        {
            mTopFloor = std::max(mTopFloor, floor + 1);
        }
    }

    void CheckFile(const std::string& rel, const std::string& text)
    {
        mFiles.push_back(rel);
        std::string folder =
            rel.find('/') == std::string::npos ? "" : rel.substr(0, rel.rfind('/'));
        std::string unit;
        if (!UnitOf(folder, unit))
        {
            Report(rel, 1, "folder \"" + folder + "\" is on no floor of the rules");
            return;
        }
        std::string code = BlankCommentsAndLiterals(text);
        CheckIncludes(rel, unit, text, code);
        CheckCalls(rel, code);
    }

    std::vector<std::string> TakeViolations()
    {
        // An owner line naming nothing (a file moved or gone) would hide a later violation there.
        for (const auto& [group, path] : mRules.mOwners)
        {
            bool named =
                std::any_of(mFiles.begin(), mFiles.end(),
                            [&](const std::string& rel) { return UnderFolder(rel, path); });
            if (!named)
                mViolations.push_back("owner " + group + " " + path + ": no such file in src/");
        }
        std::sort(mViolations.begin(), mViolations.end());
        return std::move(mViolations);
    }

private:
    // The longest listed folder that holds this folder; files directly in src/ sit above every
    // floor.
    bool UnitOf(const std::string& folder, std::string& unit) const
    {
        if (folder.empty())
        {
            unit.clear();
            return true;
        }
        bool found = false;
        for (const auto& [listed, floor] : mRules.mFloors)
        {
            if (UnderFolder(folder, listed) && (!found || listed.size() > unit.size()))
            {
                unit = listed;
                found = true;
            }
        }
        return found;
    }

    int FloorOf(const std::string& unit) const
    {
        auto it = mRules.mFloors.find(unit);
        return it == mRules.mFloors.end() ? mTopFloor : it->second;
    }

    void Report(const std::string& rel, int line, const std::string& what)
    {
        mViolations.push_back("src/" + rel + ":" + std::to_string(line) + ": " + what);
    }

    void CheckIncludes(const std::string& rel, const std::string& unit, const std::string& text,
                       const std::string& code)
    {
        std::istringstream rawLines(text);
        std::istringstream codeLines(code);
        std::string raw;
        std::string line;
        int number = 0;
        while (std::getline(rawLines, raw) && std::getline(codeLines, line))
        {
            number++;
            size_t hash = line.find_first_not_of(" \t");
            if (hash == std::string::npos || line[hash] != '#')
            {
                continue;
            }
            size_t word = line.find_first_not_of(" \t", hash + 1);
            if (word == std::string::npos || line.compare(word, 7, "include") != 0)
            {
                continue;
            }
            size_t open = line.find_first_of("<\"", word + 7);
            if (open == std::string::npos)
            {
                continue;
            }
            char closing = line[open] == '<' ? '>' : '"';
            size_t close = raw.find(closing, open + 1);
            if (close == std::string::npos)
            {
                continue;
            }
            CheckInclude(rel, number, unit, raw.substr(open + 1, close - open - 1), closing == '"');
        }
    }

    void CheckInclude(const std::string& rel, int line, const std::string& unit,
                      const std::string& header, bool quoted)
    {
        std::string target;
        size_t slash = header.find('/');
        if (quoted && slash == std::string::npos)
        {
            return; // beside the including file
        }
        // The project's own headers are quoted; <sys/stat.h> is the system's, not src/sys/.
        if (quoted && UnitOf(header.substr(0, header.rfind('/')), target))
        {
            CheckDirection(rel, line, unit, target, header);
            return;
        }
        if (kStandardHeaders.count(header) != 0 || IsLibrary(header) || IsSystemFolder(rel))
        {
            return;
        }
        Report(rel, line,
               "system header <" + header + "> outside the system folder (wrap it in src/sys/)");
    }

    void CheckDirection(const std::string& rel, int line, const std::string& from,
                        const std::string& to, const std::string& header)
    {
        if (from == to || FloorOf(to) < FloorOf(from))
        {
            return;
        }
        for (const auto& [a, b] : mRules.mSideways)
        {
            if (a == from && b == to)
            {
                return;
            }
        }
        std::string fromName = from.empty() ? "src" : from;
        Report(rel, line, "includes \"" + header + "\" but " + to + " is not below " + fromName);
    }

    bool IsLibrary(const std::string& header) const
    {
        for (const std::string& lib : mRules.mLibraries)
        {
            if (header == lib || (lib.back() == '/' && header.compare(0, lib.size(), lib) == 0))
            {
                return true;
            }
        }
        return false;
    }

    bool IsSystemFolder(const std::string& rel) const
    {
        for (const std::string& folder : mRules.mSystemFolders)
        {
            if (UnderFolder(rel, folder))
            {
                return true;
            }
        }
        return false;
    }

    bool IsOwner(const std::string& rel, const std::string& group) const
    {
        for (const auto& [ownerGroup, path] : mRules.mOwners)
        {
            if ((ownerGroup == "*" || ownerGroup == group) && UnderFolder(rel, path))
            {
                return true;
            }
        }
        return false;
    }

    // format(printf, 1, 2) in a declaration's attribute names a checking style, not a call.
    static bool InFormatAttribute(const std::string& code, size_t at)
    {
        size_t k = code.find_last_not_of(" \t", at == 0 ? 0 : at - 1);
        return k != std::string::npos && k >= 6 && code[k] == '(' &&
               code.compare(k - 6, 6, "format") == 0;
    }

    void CheckCalls(const std::string& rel, const std::string& code)
    {
        for (const auto& [group, names] : mRules.mWatched)
        {
            if (IsOwner(rel, group))
            {
                continue;
            }
            for (const std::string& name : names)
            {
                for (size_t at = code.find(name); at != std::string::npos;
                     at = code.find(name, at + 1))
                {
                    size_t end = at + name.size();
                    if ((at > 0 && IsIdentChar(code[at - 1])) ||
                        (end < code.size() && IsIdentChar(code[end])))
                    {
                        continue;
                    }
                    if (InFormatAttribute(code, at))
                    {
                        continue;
                    }
                    int line =
                        1 + static_cast<int>(std::count(code.begin(), code.begin() + at, '\n'));
                    Report(rel, line,
                           "uses " + name + " outside the owners of \"" + group +
                               "\" (add an owner line with its reason to the rules)");
                }
            }
        }
    }

    const TLayerRules& mRules;
    int mTopFloor = 0;
    std::vector<std::string> mViolations;
    std::vector<std::string> mFiles;
};

} // namespace

bool LoadLayerRules(const std::string& path, TLayerRules& rules, std::string& error)
{
    std::ifstream in(path);
    if (!in)
    {
        error = "cannot read " + path;
        return false;
    }
    rules = TLayerRules{};
    std::string line;
    int number = 0;
    int floor = 0;
    while (std::getline(in, line))
    {
        number++;
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;)
        {
            w.push_back(word);
        }
        if (w.empty() || w[0][0] == '#')
        {
            continue;
        }
        const std::string& key = w[0];
        auto fail = [&](const std::string& why)
        {
            error = path + ":" + std::to_string(number) + ": " + why;
            return false;
        };
        if (key == "floor" && w.size() >= 2)
        {
            for (size_t i = 1; i < w.size(); i++)
            {
                rules.mFloors[w[i]] = floor;
            }
            floor++;
        }
        else if (key == "sideways" && w.size() == 3)
        {
            rules.mSideways.emplace_back(w[1], w[2]);
        }
        else if (key == "system" && w.size() >= 2)
        {
            rules.mSystemFolders.insert(rules.mSystemFolders.end(), w.begin() + 1, w.end());
        }
        else if (key == "library" && w.size() >= 2)
        {
            rules.mLibraries.insert(rules.mLibraries.end(), w.begin() + 1, w.end());
        }
        else if (key == "watch" && w.size() >= 3)
        {
            rules.mWatched[w[1]].assign(w.begin() + 2, w.end());
        }
        else if (key == "owner" && w.size() >= 4)
        {
            if (w[1] != "*" && rules.mWatched.count(w[1]) == 0)
            {
                return fail("owner of an unknown group \"" + w[1] + "\" (watch it first)");
            }
            rules.mOwners.emplace_back(w[1], w[2]);
        }
        else if (key == "owner" && w.size() == 3)
        {
            return fail("an owner line needs its reason");
        }
        else
        {
            return fail("cannot read \"" + line + "\"");
        }
    }
    if (rules.mFloors.empty())
    {
        error = path + ": no floors";
        return false;
    }
    return true;
}

std::vector<std::string> CheckLayering(const std::string& srcRoot, const TLayerRules& rules)
{
    static const std::set<std::string> kSourceExtensions = {".cpp", ".cc",  ".c",
                                                            ".h",   ".hpp", ".inl"};
    TChecker checker(rules);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(srcRoot, ec), end; !ec && it != end; it.increment(ec))
    {
        if (!it->is_regular_file() || kSourceExtensions.count(it->path().extension().string()) == 0)
        {
            continue;
        }
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        checker.CheckFile(fs::relative(it->path(), srcRoot).generic_string(), text.str());
    }
    std::vector<std::string> violations = checker.TakeViolations();
    if (ec)
    {
        violations.insert(violations.begin(), "cannot list " + srcRoot + ": " + ec.message());
    }
    return violations;
}
