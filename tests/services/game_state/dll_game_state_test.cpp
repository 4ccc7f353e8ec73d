// Add-on module handlers: discovery at the top of the asset folder, the load steps and their
// failures, forwarding to the module's object, and destruction through the module.
#include "support/file_layer_fixture.h"
#include "services/game_state/dll_game_state.h"
#include "services/game_state/game_state_test_support.h"
#include "sys/process/dynlib.h"

#include <string>

using statetest::RecordingHandler;

namespace
{

std::string BuiltModule(const std::string& variant)
{
    return filetest::ReadBytes(std::string(MURKWELL_TEST_QMMOD_DIR) + "/" + variant + ".qmmod");
}

// The test's own hold on a module file, which keeps the module (and what it recorded) loaded while
// the handlers load and free it.
class ModuleView
{
public:
    explicit ModuleView(const std::string& path) : mLibrary(sys::LoadLibrary(path))
    {
        EXPECT_NE(mLibrary, nullptr) << path;
        if (mLibrary != nullptr)
        {
            mRecord = reinterpret_cast<const char* (*)()>(
                sys::GetLibrarySymbol(mLibrary, "TestModuleRecord"));
            auto clear =
                reinterpret_cast<void (*)()>(sys::GetLibrarySymbol(mLibrary, "TestModuleClear"));
            clear();
        }
    }
    ~ModuleView() { sys::FreeLibrary(mLibrary); }
    ModuleView(const ModuleView&) = delete;
    ModuleView& operator=(const ModuleView&) = delete;

    std::string Record() const { return mRecord != nullptr ? mRecord() : "(not loaded)"; }

private:
    void* mLibrary = nullptr;
    const char* (*mRecord)() = nullptr;
};

class ModuleTest : public filetest::FileLayerTest
{
protected:
    void SetUp() override
    {
        FileLayerTest::SetUp();
        SetGameStateApplicationProbe([] { return true; });
    }
    void TearDown() override
    {
        TGameState::Destroy();
        SetGameStateApplicationProbe(nullptr);
        FileLayerTest::TearDown();
    }

    // Places a built module in the asset folder under `name`; the path it has there.
    std::string Place(const std::string& variant, const std::string& name)
    {
        Write("assets/" + name, BuiltModule(variant));
        return mRoot + "/assets/" + name;
    }
};

} // namespace

TEST_F(ModuleTest, StartUpLoadsTopLevelModulesOnly)
{
    ModuleView main(Place("testmodule", "testmodule.qmmod"));
    ModuleView substring(Place("testmodule", "extra.qmmod.bak"));
    ModuleView glintview(Place("testmodule", "glintview.qmmod"));
    Folder("assets/sub");
    ModuleView deep(Place("testmodule", "sub/deep.qmmod"));
    ModuleView noDestroy(Place("nodestroy", "nodestroy.qmmod"));
    ModuleView nullCreate(Place("nullcreate", "nullcreate.qmmod"));
    Write("assets/readme.txt", "not a module");
    InitFileSystem();

    EXPECT_EQ(LoadAddOnModules(), 2);
    TGameState* store = TGameState::Instance();
    store->SetState("cmdline", "murkwell --multiple");
    store->SetState("commondatadir", "/data/common");
    store->SetState("userdatadir", (mRoot + "/user").c_str());
    const std::string told = "create\n"
                             "set cmdline=murkwell --multiple\n"
                             "set commondatadir=/data/common\n"
                             "set userdatadir=" +
                             mRoot + "/user\n";
    EXPECT_EQ(main.Record(), told);
    // A name that merely contains ".qmmod" counts.
    EXPECT_EQ(substring.Record(), told);
    EXPECT_EQ(glintview.Record(), "");
    EXPECT_EQ(deep.Record(), "");
    // Without "DestroyHandler" the module is not used, so nothing was created.
    EXPECT_EQ(noDestroy.Record(), "");
    EXPECT_EQ(nullCreate.Record(), "create null\n");

    TGameState::Destroy();
    EXPECT_EQ(main.Record(), told + "destroy\n");
    EXPECT_EQ(substring.Record(), told + "destroy\n");
    // What a test of the whole program reads after the run.
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/user/testmodule_record.txt"), told + "destroy\n");
}

TEST_F(ModuleTest, LoadFailsAtEachMissingStep)
{
    Write("assets/fake.qmmod", "not a shared object");
    Place("nodestroy", "nodestroy.qmmod");
    Place("nullcreate", "nullcreate.qmmod");
    InitFileSystem();
    for (const char* name : {"missing.qmmod", "fake.qmmod", "nodestroy.qmmod", "nullcreate.qmmod"})
    {
        TDllGameState handler;
        EXPECT_FALSE(handler.Load(name)) << name;
        // Whatever was loaded is released by the destructor; nothing is forwarded meanwhile.
        EXPECT_FALSE(handler.OnSetState("a", "b"));
        const char* value = "v";
        EXPECT_EQ(handler.FilterGetState("a", value), value);
        EXPECT_FALSE(handler.QueryRestartMode());
        EXPECT_FALSE(handler.QueryJumpToMenu());
        EXPECT_FALSE(handler.QueryMute());
        EXPECT_FALSE(handler.QueryHostPause());
    }
    EXPECT_EQ(LoadAddOnModules(), 0);
}

TEST_F(ModuleTest, APackEntryWithoutANameDoesNotStallTheModuleSearch)
{
    std::string pack = "QMPK";
    filetest::PackBuilder::PutU32(pack, 1);
    pack += std::string(9, '\0');
    Write("assets/empty.qmp", pack);
    Write("assets/readme.txt", "not a module");
    InitFileSystem();
    EXPECT_EQ(LoadAddOnModules(), 0);
}

TEST_F(ModuleTest, ExcludedModulesAreNotLoaded)
{
    ModuleView view(Place("testmodule", "testmodule.qmmod"));
    Write("final.txt", "testmodule.qmmod\n");
    InitFileSystem();
    TDllGameState handler;
    EXPECT_FALSE(handler.Load("testmodule.qmmod"));
    EXPECT_EQ(view.Record(), "");
}

TEST_F(ModuleTest, TheModuleObjectAnswersForTheHandler)
{
    ModuleView view(Place("testmodule", "testmodule.qmmod"));
    InitFileSystem();
    auto* module = new TDllGameState();
    ASSERT_TRUE(module->Load("testmodule.qmmod"));
    TGameState::AddHandler(module);
    auto* after = new RecordingHandler("after");
    TGameState::AddHandler(after);
    statetest::Calls().clear();

    TGameState* store = TGameState::Instance();
    store->SetState("module-filter", "a");
    EXPECT_EQ(store->GetState("module-filter"), TString("a+module"));
    store->SetState("module-take", "1");
    EXPECT_EQ(statetest::Calls(), std::vector<std::string>{"after set module-filter=a"});
    EXPECT_TRUE(TGameState::QueryJumpToMenu());
    EXPECT_FALSE(TGameState::QueryHostPause());
    store->SetState("module-pause", "1");
    EXPECT_TRUE(TGameState::QueryHostPause());
    EXPECT_FALSE(module->IsDisabled());
}

TEST_F(ModuleTest, OnlyTheFirstOfTwoMutingModulesIsAsked)
{
    ModuleView view(Place("testmodule", "testmodule.qmmod"));
    InitFileSystem();
    for (int i = 0; i < 2; ++i)
    {
        auto* module = new TDllGameState();
        ASSERT_TRUE(module->Load("testmodule.qmmod"));
        TGameState::AddHandler(module);
    }
    TGameState* store = TGameState::Instance();
    store->SetState("module-mute", "1");
    EXPECT_TRUE(store->QueryMuteGame());
    EXPECT_EQ(view.Record(), "create\ncreate\n"
                             "set module-mute=1\nset module-mute=1\n"
                             "asked mute\n");
}
