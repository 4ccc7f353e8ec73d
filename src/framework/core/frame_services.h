// The framework's small process-wide services: the error reporter, the process launcher behind the
// script function "RunProcess", the probe of the packed colour's channel order and the integer
// segment and triangle tests.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Logs "ERROR:<message>   FILE:<file name> LINE:<line>", the file cut after its last "\" or "/".
// A fatal report says the same on standard error, where whoever started the program looks, and
// then asks the window script to post the quit message; without a window script that is logged
// instead. Never throws.
void ReportError(const char* message, const TString& file, int line, bool fatal);
// A picture that content names and the game lacks (or cannot read): "Cannot find picture
// '<picture>' of '<owner>'" through ReportError, not fatal. Callers say it once per owner.
void ReportMissingPicture(const TString& owner, const TString& picture, const TString& file,
                          int line);
// Whether a fatal report was made since the last clearing: the run then ends with a status that
// is not 0.
bool FatalErrorReported();
void ClearFatalErrorReported();

// Starts the command line as a new process without a shell and does not wait for it; a failed
// start is reported as "Process failed: <error code>".
void RunProcess(const char* commandLine);
// The command line cut into arguments by the Windows rules: white space separates, double quotes
// group words, backslashes count only before a quote; the program name ends at its closing quote
// or at the first white space.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Bit position of each channel's byte in a packed TColor, found by ProbeColorShifts; 0 before.
extern uint32_t redShift;
extern uint32_t greenShift;
extern uint32_t blueShift;
extern uint32_t alphaShift;
// 255 << alphaShift.
extern uint32_t alphaMask;
void ProbeColorShifts();

struct TIntPoint
{
    int32_t x = 0;
    int32_t y = 0;
};

using TIntTriangle = std::array<TIntPoint, 3>;

// Whether the segments p-f and q-r cross, in single-precision arithmetic; `inclusive` lets a
// crossing lie on an end point.
bool SegmentsIntersect(const TIntPoint& p, const TIntPoint& f, const TIntPoint& q,
                       const TIntPoint& r, bool inclusive);
// {least x, least y, greatest x, greatest y}.
TRect TriangleBounds(const TIntTriangle& triangle);
bool PointInTriangle(const TIntTriangle& triangle, const TIntPoint& point);
