// TFontMap: vector fonts by name, loaded on first use from their files with the default font's
// file and the built-in font as fall-backs; and the map the text layout uses.
#pragma once

#include "platform/strings/tstring.h"
#include "render/text/vector_font.h"

#include <map>
#include <memory>

class TFontMap
{
public:
    // The font of that name: "__DEFAULT" is the built-in font; any other name is read from its
    // file, else from "fonts/default.mvec", else the built-in font; kept under the requested
    // name. Null (and "Font not found: %s" logged) only when no source makes a font.
    TVectorFont* GetFont(const TString& name);
    // Destroys every font.
    void Clear() { mFonts.clear(); }
    int GetCount() const { return static_cast<int>(mFonts.size()); }

private:
    std::map<TString, std::unique_ptr<TVectorFont>> mFonts;
};

// The font map of the display seam once it installs its own (null lets go of it); until then a
// map held here answers, so that layouts made before a display exists still find their fonts.
TFontMap& GetFontMap();
void SetFontMap(TFontMap* map);
