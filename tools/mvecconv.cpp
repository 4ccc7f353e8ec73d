// mvecconv: converts a TrueType font into the engine's ".mvec" vector-font format (glyph records
// with exact bounds, byte-coded outlines of moves, lines and quadratic curves).
//
//   mvecconv [--ranges 20-7E,A0-17F,...] [--require 57,AD] input.ttf output.mvec
//
// The em is scaled to 100 units, stored in 1/128 units, y pointing down. Each component of a
// composite glyph becomes a style group of its own, because the engine's fills toggle within a
// group and joins groups: overlapping components would otherwise cut holes into each other. A
// group whose even-odd and non-zero fills differ would show such holes too, so the tool refuses it.
// Same input, same bytes: nothing depends on time, locale or hinting.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H
#include FT_BITMAP_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

struct TRange
{
    uint32_t mFirst;
    uint32_t mLast;
};

const char* const kDefaultRanges = "20-7E,A0-17F,2010-203A,20A0-20BF,2100-2183";
const char* const kDefaultRequired = "57,AD";
// Fill comparison size: large enough that a hole shows as whole pixels.
const int kCheckPixelsPerEm = 256;

struct TGlyphOut
{
    uint32_t mCode = 0;
    int16_t mLeft = 0, mRight = 0, mTop = 0, mBottom = 0, mAdvance = 0;
    std::vector<uint8_t> mOutline;
};

bool ParseCodes(const char* text, std::vector<TRange>& out)
{
    std::string s(text);
    size_t pos = 0;
    while (pos <= s.size())
    {
        size_t comma = s.find(',', pos);
        std::string item =
            s.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (item.empty())
            return false;
        char* end = nullptr;
        unsigned long first = std::strtoul(item.c_str(), &end, 16);
        unsigned long last = first;
        if (*end == '-')
            last = std::strtoul(end + 1, &end, 16);
        if (*end != '\0' || last < first || last > 0x10FFFF)
            return false;
        out.push_back({static_cast<uint32_t>(first), static_cast<uint32_t>(last)});
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return true;
}

class TConverter
{
public:
    TConverter(FT_Face face) : mFace(face) {}

    // Font units to 1/128 of a 100-unit em, rounded half away from zero.
    int32_t Scale(FT_Pos v) const
    {
        return static_cast<int32_t>(
            std::llround(static_cast<double>(v) * 12800.0 / mFace->units_per_EM));
    }

    bool Fits(FT_Pos v) const
    {
        int32_t s = Scale(v);
        return s >= -32768 && s <= 32767;
    }

    // Contours of a glyph when every component is loaded.
    int CountContours(FT_UInt index, int depth)
    {
        if (depth > 8 || FT_Load_Glyph(mFace, index, kLoadFlags) != 0)
            return -1;
        return mFace->glyph->outline.n_contours;
    }

    // The contour counts of each component of the glyph (one entry for a simple glyph).
    bool ComponentContours(FT_UInt index, std::vector<int>& counts)
    {
        if (FT_Load_Glyph(mFace, index, kLoadFlags | FT_LOAD_NO_RECURSE) != 0)
            return false;
        FT_GlyphSlot slot = mFace->glyph;
        if (slot->format != FT_GLYPH_FORMAT_COMPOSITE)
        {
            counts.push_back(slot->outline.n_contours);
            return true;
        }
        std::vector<FT_Int> components;
        for (FT_UInt i = 0; i < slot->num_subglyphs; ++i)
        {
            FT_Int sub = 0;
            FT_UInt flags = 0;
            FT_Int a1 = 0, a2 = 0;
            FT_Matrix m;
            if (FT_Get_SubGlyph_Info(slot, i, &sub, &flags, &a1, &a2, &m) != 0)
                return false;
            components.push_back(sub);
        }
        for (FT_Int sub : components)
        {
            int n = CountContours(static_cast<FT_UInt>(sub), 1);
            if (n < 0)
                return false;
            counts.push_back(n);
        }
        return true;
    }

    bool Convert(uint32_t code, TGlyphOut& out, std::string& error)
    {
        FT_UInt index = FT_Get_Char_Index(mFace, code);
        std::vector<int> counts;
        if (!ComponentContours(index, counts))
        {
            error = "cannot load its components";
            return false;
        }
        if (FT_Load_Glyph(mFace, index, kLoadFlags) != 0)
        {
            error = "cannot load it";
            return false;
        }
        FT_GlyphSlot slot = mFace->glyph;
        FT_Outline& outline = slot->outline;
        int total = 0;
        for (int n : counts)
            total += n;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE || total != outline.n_contours)
        {
            error = "its components do not add up to its contours";
            return false;
        }
        out.mCode = code;
        FT_BBox box{0, 0, 0, 0};
        if (outline.n_points > 0)
            FT_Outline_Get_BBox(&outline, &box);
        for (FT_Pos v : {box.xMin, box.xMax, box.yMin, box.yMax, slot->metrics.horiAdvance})
            if (!Fits(v))
            {
                error = "its size does not fit the format";
                return false;
            }
        out.mLeft = static_cast<int16_t>(Scale(box.xMin));
        out.mRight = static_cast<int16_t>(Scale(box.xMax));
        out.mTop = static_cast<int16_t>(-Scale(box.yMax));
        out.mBottom = static_cast<int16_t>(-Scale(box.yMin));
        out.mAdvance = static_cast<int16_t>(Scale(slot->metrics.horiAdvance));

        mBytes = &out.mOutline;
        int first = 0;
        for (int n : counts)
        {
            if (n == 0)
                continue;
            FT_Outline group = SubOutline(outline, first, n);
            if (!SameUnderBothRules(group))
            {
                error = "a style group fills differently under the even-odd and non-zero rules";
                return false;
            }
            // A style group of its own: the engine joins groups instead of toggling across them.
            mBytes->push_back(1);
            mBytes->push_back(2);
            mBytes->push_back(1);
            static const FT_Outline_Funcs kFuncs = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
            mCubic = false;
            mRange = false;
            if (FT_Outline_Decompose(&group, &kFuncs, this) != 0 || mCubic || mRange)
            {
                error = mCubic ? "it has cubic curves" : "its outline cannot be read";
                return false;
            }
            first += n;
        }
        if (out.mOutline.empty())
        {
            // An empty glyph (a space) still opens its group.
            out.mOutline = {1, 2, 1};
        }
        out.mOutline.push_back(8);
        return true;
    }

private:
    static constexpr FT_Int32 kLoadFlags =
        FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP | FT_LOAD_IGNORE_TRANSFORM;

    // A view of contours [first, first + n) of the outline (shares its arrays).
    static FT_Outline SubOutline(const FT_Outline& o, int first, int n)
    {
        int start = first == 0 ? 0 : o.contours[first - 1] + 1;
        int end = o.contours[first + n - 1] + 1;
        FT_Outline sub = o;
        sub.n_points = static_cast<short>(end - start);
        sub.points = o.points + start;
        sub.tags = o.tags + start;
        sub.n_contours = static_cast<short>(n);
        // Contour ends are absolute: copy them shifted.
        sub.contours = nullptr;
        sub.flags = o.flags;
        ShiftedEnds().assign(o.contours + first, o.contours + first + n);
        for (auto& e : ShiftedEnds())
            e = static_cast<short>(e - start);
        sub.contours = ShiftedEnds().data();
        return sub;
    }

    static std::vector<short>& ShiftedEnds()
    {
        static std::vector<short> ends;
        return ends;
    }

    // Renders the group at a large size with both fill rules and compares the coverage.
    bool SameUnderBothRules(const FT_Outline& group)
    {
        std::vector<FT_Vector> points(group.points, group.points + group.n_points);
        FT_Outline scaled = group;
        scaled.points = points.data();
        FT_BBox box;
        FT_Outline_Get_CBox(&scaled, &box);
        // Font units to 26.6 pixels at kCheckPixelsPerEm, moved to the origin.
        for (auto& p : points)
        {
            p.x = (p.x - box.xMin) * 64 * kCheckPixelsPerEm / mFace->units_per_EM + 64;
            p.y = (p.y - box.yMin) * 64 * kCheckPixelsPerEm / mFace->units_per_EM + 64;
        }
        int w =
            static_cast<int>((box.xMax - box.xMin) * kCheckPixelsPerEm / mFace->units_per_EM) + 3;
        int h =
            static_cast<int>((box.yMax - box.yMin) * kCheckPixelsPerEm / mFace->units_per_EM) + 3;
        std::vector<unsigned char> a(static_cast<size_t>(w) * h), b(a.size());
        for (int pass = 0; pass < 2; ++pass)
        {
            FT_Bitmap bitmap;
            FT_Bitmap_Init(&bitmap);
            bitmap.rows = static_cast<unsigned>(h);
            bitmap.width = static_cast<unsigned>(w);
            bitmap.pitch = w;
            bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
            bitmap.num_grays = 256;
            bitmap.buffer = pass == 0 ? a.data() : b.data();
            scaled.flags = (group.flags & ~FT_OUTLINE_EVEN_ODD_FILL) |
                           (pass == 0 ? FT_OUTLINE_EVEN_ODD_FILL : 0);
            if (FT_Outline_Get_Bitmap(mLibrary, &scaled, &bitmap) != 0)
                return false;
        }
        return a == b;
    }

    void Put16(int32_t v)
    {
        if (v < -32768 || v > 32767)
            mRange = true;
        auto u = static_cast<uint16_t>(static_cast<int16_t>(std::clamp(v, -32768, 32767)));
        mBytes->push_back(static_cast<uint8_t>(u & 0xFF));
        mBytes->push_back(static_cast<uint8_t>(u >> 8));
    }

    void PutPoint(const FT_Vector* p)
    {
        Put16(Scale(p->x));
        Put16(-Scale(p->y));
    }

    static int MoveTo(const FT_Vector* to, void* user)
    {
        auto* self = static_cast<TConverter*>(user);
        self->mBytes->push_back(4);
        self->PutPoint(to);
        return 0;
    }

    static int LineTo(const FT_Vector* to, void* user)
    {
        auto* self = static_cast<TConverter*>(user);
        self->mBytes->push_back(5);
        self->PutPoint(to);
        return 0;
    }

    static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user)
    {
        auto* self = static_cast<TConverter*>(user);
        self->mBytes->push_back(6);
        self->PutPoint(control);
        self->PutPoint(to);
        return 0;
    }

    static int CubicTo(const FT_Vector*, const FT_Vector*, const FT_Vector*, void* user)
    {
        static_cast<TConverter*>(user)->mCubic = true;
        return 1;
    }

public:
    FT_Library mLibrary = nullptr;

private:
    FT_Face mFace;
    std::vector<uint8_t>* mBytes = nullptr;
    bool mCubic = false;
    bool mRange = false;
};

void Put(std::vector<uint8_t>& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    // Written beside and renamed, so a failed run never leaves half a font behind.
    std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0)
    {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

int Usage()
{
    std::fprintf(stderr, "usage: mvecconv [--ranges 20-7E,A0-FF,...] [--require 57,AD] "
                         "input.ttf output.mvec\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<TRange> ranges, required;
    const char* rangeText = kDefaultRanges;
    const char* requiredText = kDefaultRequired;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--ranges") == 0 && i + 1 < argc)
            rangeText = argv[++i];
        else if (std::strcmp(argv[i], "--require") == 0 && i + 1 < argc)
            requiredText = argv[++i];
        else if (argv[i][0] == '-')
            return Usage();
        else
            files.push_back(argv[i]);
    }
    if (files.size() != 2 || !ParseCodes(rangeText, ranges) ||
        (*requiredText != '\0' && !ParseCodes(requiredText, required)))
        return Usage();

    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, files[0], 0, &face) != 0)
    {
        std::fprintf(stderr, "mvecconv: cannot open the font %s\n", files[0]);
        return 1;
    }
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0)
    {
        std::fprintf(stderr, "mvecconv: %s has no outlines\n", files[0]);
        return 1;
    }

    // The codes the font maps, in ascending order without repeats.
    std::vector<uint32_t> codes;
    for (const TRange& r : ranges)
        for (uint32_t c = r.mFirst; c <= r.mLast; ++c)
            if (FT_Get_Char_Index(face, c) != 0)
                codes.push_back(c);
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    for (const TRange& r : required)
        for (uint32_t c = r.mFirst; c <= r.mLast; ++c)
            if (!std::binary_search(codes.begin(), codes.end(), c))
            {
                std::fprintf(stderr, "mvecconv: the required glyph U+%04X is missing\n", c);
                return 1;
            }
    if (codes.empty() || codes.size() > 0xFFFF)
    {
        std::fprintf(stderr, "mvecconv: %zu glyphs cannot be written\n", codes.size());
        return 1;
    }

    TConverter converter(face);
    converter.mLibrary = library;
    std::vector<TGlyphOut> glyphs(codes.size());
    for (size_t i = 0; i < codes.size(); ++i)
    {
        std::string error;
        if (!converter.Convert(codes[i], glyphs[i], error))
        {
            std::fprintf(stderr, "mvecconv: glyph U+%04X: %s\n", codes[i], error.c_str());
            return 1;
        }
    }

    std::vector<uint8_t> out = {'M', 'V', 'C', '4'};
    Put(out, static_cast<uint32_t>(glyphs.size()), 2);
    Put(out, 0, 4);
    Put(out, 0, 2);
    uint32_t offset = static_cast<uint32_t>(12 + 18 * glyphs.size());
    for (const TGlyphOut& g : glyphs)
    {
        Put(out, g.mCode, 4);
        for (int16_t v : {g.mLeft, g.mRight, g.mTop, g.mBottom, g.mAdvance})
            Put(out, static_cast<uint16_t>(v), 2);
        Put(out, offset, 4);
        offset += static_cast<uint32_t>(g.mOutline.size());
    }
    for (const TGlyphOut& g : glyphs)
        out.insert(out.end(), g.mOutline.begin(), g.mOutline.end());

    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!WriteFile(files[1], out))
    {
        std::fprintf(stderr, "mvecconv: cannot write %s\n", files[1]);
        return 1;
    }
    std::printf("mvecconv: %zu glyphs, %zu bytes\n", glyphs.size(), out.size());
    return 0;
}
