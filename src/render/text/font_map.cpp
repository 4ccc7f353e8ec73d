// TFontMap: the font sources in their order of preference and the installed map.
#include "render/text/font_map.h"

#include "platform/files/file.h"
#include "platform/log.h"

#include <mutex>
#include <set>
#include <string>

namespace
{

constexpr const char* kDefaultFontName = "__DEFAULT";
constexpr const char* kDefaultFontFile = "fonts/default.mvec";

TFontMap* gInstalled = nullptr;

// A font file that cannot be read is said once a run, whichever map asks and however often: a
// missing file otherwise goes unnoticed, its text drawn in a fall-back font.
void SayUnreadable(const TString& name)
{
    static std::mutex guard;
    static std::set<std::string> said;
    std::lock_guard<std::mutex> lock(guard);
    if (said.insert(name.c_str()).second)
        Log("TFontMap: cannot read the font file %s: its text takes a fall-back font",
            name.c_str());
}

// A font read whole from a logical file; null when the file cannot be read or holds no font.
std::unique_ptr<TVectorFont> LoadFontFile(const TString& name)
{
    TFile file;
    if (!file.Open(name, kFileReadBinary))
    {
        SayUnreadable(name);
        return nullptr;
    }
    file.Seek(0, kSeekEnd);
    int size = file.Tell();
    file.Seek(0, kSeekStart);
    auto data = std::make_unique<uint8_t[]>(static_cast<size_t>(size > 0 ? size : 1));
    if (size <= 0 || file.Read(data.get(), size) != size)
    {
        SayUnreadable(name);
        return nullptr;
    }
    auto font = std::make_unique<TVectorFont>();
    // A file that is not a font would draw nothing at all: the next source is tried instead.
    if (!font->Load(std::move(data), static_cast<uint32_t>(size)))
    {
        Log("TFontMap: %s is not a vector font", name.c_str());
        return nullptr;
    }
    return font;
}

std::unique_ptr<TVectorFont> LoadBuiltin()
{
    auto font = std::make_unique<TVectorFont>();
    if (!font->LoadBuiltin())
        return nullptr;
    return font;
}

} // namespace

TVectorFont* TFontMap::GetFont(const TString& name)
{
    auto found = mFonts.find(name);
    if (found != mFonts.end())
        return found->second.get();
    std::unique_ptr<TVectorFont> font;
    if (name == kDefaultFontName)
        font = LoadBuiltin();
    else
    {
        font = LoadFontFile(name);
        if (font == nullptr)
            font = LoadFontFile(kDefaultFontFile);
        if (font == nullptr)
            font = LoadBuiltin();
    }
    if (font == nullptr)
    {
        Log("Font not found: %s", name.c_str());
        return nullptr;
    }
    TVectorFont* result = font.get();
    mFonts[name] = std::move(font);
    return result;
}

TFontMap& GetFontMap()
{
    static TFontMap held;
    return gInstalled != nullptr ? *gInstalled : held;
}

void SetFontMap(TFontMap* map)
{
    gInstalled = map;
}
