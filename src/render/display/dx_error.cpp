// The display code's error line and its out-of-video-memory hook.
#include "render/display/dx_error.h"

#include "platform/shell/application.h"
#include "platform/log.h"
#include "platform/source_path.h"

void ReportDxError(DxResult hr, const char* file, int line)
{
    if (hr == DxResult::OutOfVideoMemory)
        TApplication::OutOfVideoMemory();
    Log("DX Error: %s (0x%x), File %s, Line %d", sys::display::ResultName(hr),
        sys::display::ToCode(hr), SourceRelativePath(file), line);
}
