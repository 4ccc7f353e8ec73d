// The display handler's object and its simple answers: construction (the saved low-video-memory
// setting), the device check, the mode questions, vsync, the desktop mode and the projection.
#include "render/display/platform.h"

#include "platform/shell/application.h"
#include "platform/log.h"
#include "platform/config/xml.h"
#include "sys/display/display_log.h"

#include <cmath>

namespace
{
TPlatform* gPlatform = nullptr;
constexpr const char* kDisplaySettingsFile = "common:display.xml";
} // namespace

TPlatformData::TPlatformData() : mContext(std::make_unique<TDXContext>())
{
    mProjection.SetIdentity();
    if (IsHostPageGame())
        return;
    TXmlNode document;
    document.ParseFile(kDisplaySettingsFile);
    if (TXmlNode* settings = document.FindChild("Settings"))
    {
        mLowMemoryVideo = settings->GetAttribute("LowMemoryVideo").ToInt() != 0;
        Log("Low memory video card setting enabled!");
    }
}

TPlatformData::~TPlatformData() = default;

TPlatform::TPlatform()
{
    // The stand-in's own lines go to the log with everything else.
    sys::display::SetDisplayLogSink([](const std::string& line) { Log("%s", line.c_str()); });
    mData = std::make_unique<TPlatformData>();
    gPlatform = this;
}

TPlatform::~TPlatform()
{
    mData.reset();
    if (gPlatform == this)
        gPlatform = nullptr;
    sys::display::SetDisplayLogSink({});
}

TPlatform* TPlatform::Instance()
{
    return gPlatform;
}

bool TPlatform::IsFullScreen() const
{
    return mData->mFullScreen;
}

void TPlatform::GetWindowSize(int& width, int& height, bool& fullScreen) const
{
    width = mData->mScreenRect.Width();
    height = mData->mScreenRect.Height();
    fullScreen = mData->mFullScreen;
}

void TPlatform::UpdateDesktopMode()
{
    TDXContext* context = GetContext();
    int32_t colors = -1;
    uint32_t width = 0;
    uint32_t height = 0;
    sys::display::GetDesktopDeviceCaps(&colors, &width, &height);
    context->SetDesktopMetrics(colors, static_cast<int>(width), static_cast<int>(height));
}

bool TPlatform::IsDisplayReady() const
{
    return mData && mData->mReady && !mData->mDxBroken;
}

bool TPlatform::CheckDevice()
{
    if (mData->mDxBroken)
        return false;
    if (mData->mDirectDraw && mData->mDirect3D && mData->mDevice)
        return true;
    MarkDirectXBroken();
    return false;
}

void TPlatform::SetVSync(bool on)
{
    GetContext()->SetVSync(on);
}

bool TPlatform::SetFullScreen(bool fullScreen)
{
    TPlatformData& d = *mData;
    if (!fullScreen)
    {
        TDXContext& context = *d.mContext;
        if (context.GetDesktopColors() != -1 ||
            !context.WindowFits(d.mScreenRect.Width(), d.mScreenRect.Height()) ||
            context.IsOutOfVideoMemory() || d.mLowMemoryVideo)
            return false;
    }
    SetDisplay(d.mScreenRect.Width(), d.mScreenRect.Height(), fullScreen, false, false, false);
    return true;
}

void TPlatform::SetProjection(float zNear, float zFar, float fov, float aspect)
{
    TPlatformData& d = *mData;
    d.mNearPlane = zNear;
    d.mFarPlane = zFar;
    TRect visible;
    visible.SetIntersection(d.mViewport, d.mScreenRect);
    visible.SetIntersection(visible, d.mClipRect);
    const TRect& v = d.mViewport;
    if (visible.Width() <= 0 || visible.Height() <= 0 || v.Width() <= 0 || v.Height() <= 0)
        return;
    if (aspect == 0.0f)
        aspect = static_cast<float>(visible.Height()) / static_cast<float>(visible.Width());
    const float r = static_cast<float>(visible.Height()) / static_cast<float>(v.Height());
    if (r != 1.0f)
        fov = 2.0f * std::atan(std::tan(fov / 2.0f) * r);
    const float vw = static_cast<float>(v.Width());
    const float vh = static_cast<float>(v.Height());
    TVec2 shift(static_cast<float>(visible.right - v.right) / vw +
                    static_cast<float>(visible.left - v.left) / vw,
                static_cast<float>(visible.bottom - v.bottom) / vh +
                    static_cast<float>(visible.top - v.top) / vh);
    d.mProjection.SetPerspective(zNear, zFar, fov, aspect, shift);
    if (d.mDevice)
    {
        sys::display::Matrix m;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                m.m[i][j] = d.mProjection.m[i][j];
        d.mDevice->SetTransform(sys::display::TS_PROJECTION, m);
    }
}

bool IsHostPageGame()
{
    TApplication* application = TApplication::Get();
    return application && application->GetImpl() && application->GetImpl()->mCommandLine.mHostPage;
}

bool IsApplicationActiveForDisplay()
{
    TApplication* application = TApplication::Get();
    if (!application || !application->GetImpl())
        return false;
    const TApplicationImpl& impl = *application->GetImpl();
    return impl.mPump.mApplicationActive && impl.mPump.mWindowActive;
}
