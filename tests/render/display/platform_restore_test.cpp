// Restore: each answer of the cooperative-level test and of restoring the surfaces takes its
// branch; assets and the restore task list see loss and restore; the throttled broken mark; the
// low-video-memory mode written once and read by the next display handler.
#include "render/render_test_support.h"

#include "platform/files/asset_manager.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "platform/shell/task.h"

using namespace rendertest;
using namespace sys::display;

namespace
{

std::vector<std::string>& Events()
{
    static std::vector<std::string> events;
    return events;
}

class RecordingAsset : public TAsset
{
public:
    void OnDeviceLost() override { Events().push_back("lost"); }
    void OnDeviceRestore() override { Events().push_back("restored"); }
};

class RecordingTask : public TTask
{
public:
    bool Run() override
    {
        Events().push_back("task");
        return true;
    }
};

class RestoreTest : public OpenDisplayTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenDisplayTest::SetUp());
        GetAssetManager()->AddAsset("recording", mAsset);
        mApp->AddRestoreTask(&mTask);
        Events().clear();
        mDevices = Device::CreatedCount();
        Data().mWorkingCount = 3;
        Platform().MarkDirectXBroken();
    }
    void TearDown() override
    {
        mApp->RemoveRestoreTask(&mTask);
        DisplayTest::TearDown();
    }
    DirectDraw& Live() { return *Data().mDirectDraw; }
    bool DisplayWasMadeAgain() const { return Device::CreatedCount() != mDevices; }
    TPlatformData& Data() const { return *mSeam->GetPlatform()->GetData(); }

    std::shared_ptr<RecordingAsset> mAsset = std::make_shared<RecordingAsset>();
    RecordingTask mTask;
    uint64_t mDevices = 0;
};

TEST_F(RestoreTest, SurfacesRestoredInPlaceBringBackAssetsTasksAndRepaint)
{
    const int dirty = shelltest::Recorded().mDirtyCount;
    Data().Restore();
    EXPECT_FALSE(DisplayWasMadeAgain());
    EXPECT_EQ(Events(), (std::vector<std::string>{"lost", "restored", "task"}));
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "0");
    EXPECT_TRUE(Platform().CheckDevice());
    EXPECT_EQ(Data().mWorkingCount, 0u);
    EXPECT_GE(shelltest::Recorded().mDirtyCount, dirty + 2);
    EXPECT_FALSE(Data().mInRestore);
}

TEST_F(RestoreTest, TooFewFramesSinceActivationMakeTheDisplayAgain)
{
    Data().mWorkingCount = 2;
    Data().Restore();
    EXPECT_TRUE(DisplayWasMadeAgain());
    EXPECT_NE(Log().find("TPlatformData::Restore: Working count too small (2). Calling "
                         "SetDisplay()"),
              std::string::npos);
    EXPECT_EQ(Events(), (std::vector<std::string>{"lost", "lost", "restored", "task"}));

    // Inactive, the display stays broken instead.
    mDevices = Device::CreatedCount();
    Data().mWorkingCount = 0;
    mImpl->mPump.mApplicationActive = false;
    Platform().MarkDirectXBroken();
    Data().Restore();
    EXPECT_FALSE(DisplayWasMadeAgain());
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "1");
}

// The window back from the taskbar before the application is active again: the restore cannot
// finish until the activation is read. A poll whose try fails reads the messages all the same, so
// a close comes through, and the focus coming back lets the restore finish.
TEST_F(RestoreTest, ARestoreThatCannotFinishLeavesTheMessagesRead)
{
    // The display made as the game makes it, so that the event pump sees its device.
    mSeam->SetDisplay(mWindow, 800, 600, false, false);
    mDevices = Device::CreatedCount();
    Platform().MarkDirectXBroken();
    Data().mWorkingCount = 0;
    mImpl->mPump.mApplicationActive = false;
    mImpl->mPump.mWindowActive = true;
    sys::PushWindowEvent(sys::WindowEventKind::Close);
    TPlatformEvent event;
    int polls = 0;
    do
        mApp->NextEvent(&event);
    while (event.mType != kEventClose && ++polls < 10);
    EXPECT_EQ(event.mType, kEventClose);
    EXPECT_FALSE(Platform().CheckDevice());
    EXPECT_FALSE(DisplayWasMadeAgain());

    sys::PushWindowEvent(sys::WindowEventKind::FocusGained);
    for (polls = 0; polls < 10 && !Platform().CheckDevice(); ++polls)
        mApp->NextEvent(&event);
    EXPECT_TRUE(Platform().CheckDevice());
    EXPECT_TRUE(mImpl->mPump.mApplicationActive);
}

TEST_F(RestoreTest, CooperativeLevelAnswersTakeTheirBranches)
{
    Live().mTestCooperativeLevelAnswers = {Result::NoExclusiveMode};
    Data().Restore();
    EXPECT_FALSE(DisplayWasMadeAgain());
    Live().mTestCooperativeLevelAnswers = {Result::SurfaceLost};
    Data().Restore(); // asked once, then five passes and give up
    EXPECT_FALSE(DisplayWasMadeAgain());
    EXPECT_TRUE(Data().mDxBroken);

    Live().mTestCooperativeLevelAnswers = {Result::WrongMode};
    Data().Restore();
    EXPECT_TRUE(DisplayWasMadeAgain());
    EXPECT_EQ(Log().find("Restore: Test Cooperative level failed"), std::string::npos);

    mDevices = Device::CreatedCount();
    Live().mTestCooperativeLevelAnswers = {Result::ExclusiveModeAlreadySet};
    Data().Restore();
    EXPECT_TRUE(DisplayWasMadeAgain());
    EXPECT_NE(Log().find("Restore: Test Cooperative level failed. Calling SetDisplay"),
              std::string::npos);
}

TEST_F(RestoreTest, RestoreAllSurfacesFailuresMakeTheDisplayAgain)
{
    Live().mRestoreAllSurfacesAnswers = {Result::WrongMode};
    Data().Restore();
    EXPECT_TRUE(DisplayWasMadeAgain());
    EXPECT_NE(Log().find("Restore: RestoreAllSurfaces resulted in DDERR_WRONGMODE. Calling "
                         "SetDisplay."),
              std::string::npos);

    mDevices = Device::CreatedCount();
    Data().mWorkingCount = 3;
    Live().mRestoreAllSurfacesAnswers = {Result::Fail};
    Data().Restore();
    EXPECT_TRUE(DisplayWasMadeAgain());
    EXPECT_NE(Log().find("RestoreAllSurfaces failed!\n"), std::string::npos);
    EXPECT_NE(Log().find("DX Error: FAIL (0x80004005), File platform"), std::string::npos);
}

TEST_F(RestoreTest, ReentryMarksBrokenAndMinimisedWaits)
{
    Data().mDxBroken = false;
    Data().mInRestore = true;
    Data().Restore();
    EXPECT_TRUE(Data().mDxBroken);
    EXPECT_TRUE(Events().empty());
    Data().mInRestore = false;

    sys::ShowWindow(mWindow, sys::SW_MINIMIZE);
    if (sys::IsWindowMinimized(mWindow))
    {
        Data().Restore();
        EXPECT_TRUE(Events().empty());
    }
}

TEST_F(RestoreTest, BrokenTimeMovesAtMostOncePer250Ms)
{
    const uint32_t marked = Data().mBrokenTime;
    EXPECT_EQ(marked, GetPlatformTime());
    sys::AdvanceManualClock(250);
    Platform().MarkDirectXBrokenThrottled();
    EXPECT_EQ(Data().mBrokenTime, marked);
    sys::AdvanceManualClock(1);
    Platform().MarkDirectXBrokenThrottled();
    EXPECT_EQ(Data().mBrokenTime, marked + 251);
}

TEST_F(RestoreTest, OutOfVideoMemoryIsWrittenOnceAndReadByTheNextHandler)
{
    Platform().OnOutOfVideoMemory();
    Platform().OnOutOfVideoMemory();
    EXPECT_EQ(CountOf(Log(), "OutOfVideoMemory triggered!"), 1);
    EXPECT_TRUE(Data().mLowMemoryVideo);
    EXPECT_TRUE(Data().mReconfigureNotice);
    EXPECT_STREQ(GetConfig("dxbroken").c_str(), "1");
    const std::string file = ReadFile(mScratch.Root() + "/common/display.xml");
    EXPECT_EQ(file, "<Settings\n    LowMemoryVideo=\"1\">\n</Settings>\n");

    // The next restore shows the notice and makes a 16-bit full-screen display.
    Data().Restore();
    EXPECT_NE(Log().find("TPlatformData::Restore: mDirectDraw NULL. Calling SetDisplay()"),
              std::string::npos);
    ASSERT_EQ(sys::GetMessageBoxes().size(), 1u);
    EXPECT_EQ(sys::GetMessageBoxes()[0].caption, "Reconfiguring");
    EXPECT_EQ(sys::GetMessageBoxes()[0].owner, mWindow);
    EXPECT_EQ(sys::GetMessageBoxes()[0].flags, sys::MB_ICONEXCLAMATION);
    EXPECT_FALSE(Data().mReconfigureNotice);
    EXPECT_TRUE(Platform().IsFullScreen());
    EXPECT_EQ(Data().mBitDepth, 16);

    TPlatformData next;
    EXPECT_TRUE(next.mLowMemoryVideo);
    EXPECT_EQ(CountOf(Log(), "Low memory video card setting enabled!"), 1);
    DeleteFile("common:display.xml");
}

} // namespace
