// The error reporter, the process launcher, the colour-channel probe and the integer geometry
// tests.
#include "framework/core/frame_services.h"

#include "framework/core/settings.h"
#include "platform/log.h"
#include "sys/process/process.h"

#include <algorithm>
#include <cstring>

uint32_t redShift = 0;
uint32_t greenShift = 0;
uint32_t blueShift = 0;
uint32_t alphaShift = 0;
uint32_t alphaMask = 0;

namespace
{

bool gFatalErrorReported = false;

} // namespace

void ReportError(const char* message, const TString& file, int line, bool fatal)
{
    const char* path = file.c_str();
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    const TString text = TString::Format("ERROR:%s   FILE:%s LINE:%d",
                                         message != nullptr ? message : "", name, line);
    Log("%s", text.c_str());
    if (!fatal)
        return;
    gFatalErrorReported = true;
    sys::PrintNotice(TString::Format("Murkwell ends on a fatal error: %s", text.c_str()).c_str());
    RequestQuit();
}

void ReportMissingPicture(const TString& owner, const TString& picture, const TString& file,
                          int line)
{
    ReportError(
        TString::Format("Cannot find picture '%s' of '%s'", picture.c_str(), owner.c_str()).c_str(),
        file, line, false);
}

bool FatalErrorReported()
{
    return gFatalErrorReported;
}

void ClearFatalErrorReported()
{
    gFatalErrorReported = false;
}

std::vector<std::string> SplitCommandLine(const char* commandLine)
{
    std::vector<std::string> args;
    if (commandLine == nullptr)
        return args;
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const char* c = commandLine;
    while (isBlank(*c))
        ++c;
    if (*c == '\0')
        return args;

    // The program name knows no escapes: a quoted one ends at the next quote.
    std::string program;
    if (*c == '"')
    {
        for (++c; *c != '\0' && *c != '"'; ++c)
            program += *c;
        if (*c == '"')
            ++c;
    }
    else
    {
        for (; *c != '\0' && !isBlank(*c); ++c)
            program += *c;
    }
    args.push_back(program);

    for (;;)
    {
        while (isBlank(*c))
            ++c;
        if (*c == '\0')
            break;
        std::string arg;
        bool quoted = false;
        for (; *c != '\0' && (quoted || !isBlank(*c)); ++c)
        {
            if (*c == '\\')
            {
                size_t count = 0;
                while (c[count] == '\\')
                    ++count;
                if (c[count] == '"')
                {
                    arg.append(count / 2, '\\');
                    c += count;
                    if (count % 2 == 1)
                        arg += '"';
                    else if (quoted && c[1] == '"')
                        arg += '"', ++c;
                    else
                        quoted = !quoted;
                }
                else
                {
                    arg.append(count, '\\');
                    c += count - 1;
                }
            }
            else if (*c == '"')
            {
                // Inside quotes a doubled quote stands for one quote.
                if (quoted && c[1] == '"')
                    arg += '"', ++c;
                else
                    quoted = !quoted;
            }
            else
            {
                arg += *c;
            }
        }
        args.push_back(arg);
    }
    return args;
}

void RunProcess(const char* commandLine)
{
    int error = sys::StartDetachedProcess(SplitCommandLine(commandLine));
    if (error != 0)
        ReportError(TString::Format("Process failed: %d", error).c_str(), "globaldefines", 145,
                    false);
}

namespace
{
// The shift a packed word with one channel at 255 reveals; other words leave it as it was.
void ProbeShift(uint32_t packed, uint32_t& shift)
{
    if (packed == 0x0000FF00u)
        shift = 8;
    else if (packed == 0x00FF0000u)
        shift = 16;
    else if (packed == 0xFF000000u)
        shift = 24;
}
} // namespace

void ProbeColorShifts()
{
    TColor red;
    red.SetR(255);
    ProbeShift(red.GetPacked(), redShift);
    TColor green;
    green.SetG(255);
    ProbeShift(green.GetPacked(), greenShift);
    TColor blue;
    blue.SetB(255);
    ProbeShift(blue.GetPacked(), blueShift);
    TColor alpha;
    alpha.SetA(255);
    ProbeShift(alpha.GetPacked(), alphaShift);
    alphaMask = 255u << alphaShift;
}

namespace
{
bool InRange(float value, float a, float b, bool inclusive)
{
    if (a == b)
        return true;
    float low = std::min(a, b);
    float high = std::max(a, b);
    return inclusive ? (low <= value && value <= high) : (low < value && value < high);
}
} // namespace

bool SegmentsIntersect(const TIntPoint& p, const TIntPoint& f, const TIntPoint& q,
                       const TIntPoint& r, bool inclusive)
{
    float px = static_cast<float>(p.x), py = static_cast<float>(p.y);
    float fx = static_cast<float>(f.x), fy = static_cast<float>(f.y);
    float qx = static_cast<float>(q.x), qy = static_cast<float>(q.y);
    float rx = static_cast<float>(r.x), ry = static_cast<float>(r.y);
    float a1 = fy - py;
    float b1 = px - fx;
    float c1 = a1 * px + b1 * py;
    float a2 = qy - ry;
    float b2 = rx - qx;
    float c2 = a2 * rx + b2 * ry;
    float d = b2 * a1 - a2 * b1;
    if (d == 0)
    {
        // The same line only when the ratios agree; a ratio that is no number (0/0) never does.
        float ra = a2 / a1;
        return ra == b2 / b1 && c2 / c1 == ra;
    }
    float x = (c1 * b2 - c2 * b1) / d;
    float y = (c2 * a1 - a2 * c1) / d;
    return InRange(x, px, fx, inclusive) && InRange(y, py, fy, inclusive) &&
           InRange(x, qx, rx, inclusive) && InRange(y, qy, ry, inclusive);
}

TRect TriangleBounds(const TIntTriangle& t)
{
    return TRect(std::min({t[0].x, t[1].x, t[2].x}), std::min({t[0].y, t[1].y, t[2].y}),
                 std::max({t[0].x, t[1].x, t[2].x}), std::max({t[0].y, t[1].y, t[2].y}));
}

bool PointInTriangle(const TIntTriangle& t, const TIntPoint& point)
{
    TRect box = TriangleBounds(t);
    if (point.x < box.left || point.x >= box.right + 1 || point.y < box.top ||
        point.y >= box.bottom + 1)
        return false;
    // The far point lies outside the box, on the side away from an edge the point sits on.
    TIntPoint far;
    far.x = (point.x == box.right && point.x != box.left) ? box.left - 1 : box.right + 2;
    far.y = (point.y == box.bottom && point.y != box.top) ? box.top - 1 : box.bottom + 2;
    int crossings = 0;
    if (SegmentsIntersect(point, far, t[0], t[1], true))
        ++crossings;
    if (SegmentsIntersect(point, far, t[0], t[2], true))
        ++crossings;
    if (crossings > 1)
        return false;
    if (SegmentsIntersect(point, far, t[1], t[2], true))
        ++crossings;
    return crossings == 1;
}
