// The rolling credits-style screen: content laid out from its style, one linear motion over the
// whole content, the completion statement run by the frame after the motion ends.
#include "framework/screens/text_scroll.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/core/frame_services.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/text_object.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/renderer/renderer.h"
#include "render/text/text_sprite.h"
#include "render/renderer/vertex_set.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "ui/window_style.h"

#include <algorithm>
#include <climits>
#include <map>

namespace
{
constexpr uint32_t kTriangleList = 4;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;
const char kPauseName[] = "PauseTextScroll";
const char kResumeName[] = "ResumeTextScroll";
const char kRestartName[] = "RestartTextScroll";

// A freshly made object's own place moved down by `dy`.
void MoveDown(TM_Transform2D& transform, float dx, float dy)
{
    transform.SetX(transform.GetX() + dx);
    transform.SetY(transform.GetY() + dy);
}

// A side image of a text line, from the line's optional table under `key`.
std::shared_ptr<AnimatedBitmap> MakeSideImage(const TLuaTable& entry, const char* key, float x,
                                              float y)
{
    std::unique_ptr<TLuaTable> table(entry.GetTable(key));
    if (table == nullptr)
        return nullptr;
    std::shared_ptr<AnimatedBitmap> image = AnimatedBitmap::Create(*table);
    MoveDown(image->GetTransform(), x, y);
    return image;
}

TString LookUpText(const TString& label)
{
    TStringTable* strings =
        TApplication::Get() != nullptr ? TApplication::Get()->GetStringTable() : nullptr;
    return strings != nullptr ? strings->GetString(label) : label;
}
} // namespace

const uint16_t TextScroll::kScrimIndices[6] = {0, 1, 2, 0, 2, 3};

TextScroll::TextScroll() : mDrawSpec(), mScrollTransform(&mDrawSpec)
{
    const float corners[4][2] = {
        {0, 0}, {kCoverWidth, 0}, {kCoverWidth, kCoverHeight}, {0, kCoverHeight}};
    for (int i = 0; i < 4; ++i)
        mScrimQuad[i] = CoverVertex{corners[i][0], corners[i][1], 0, 0.5f, 0, 0, 0, 0};
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, kPauseName, this, &TextScroll::PauseScroll);
        LuaBindMember(L, kResumeName, this, &TextScroll::ResumeScroll);
        LuaBindMember(L, kRestartName, this, &TextScroll::RestartScroll);
    }
}

TextScroll::~TextScroll()
{
    // A name a later scroll took stays bound to that one.
    if (lua_State* L = GetWindowScriptState())
    {
        LuaUnbindMemberIfBound(L, kPauseName, this);
        LuaUnbindMemberIfBound(L, kResumeName, this);
        LuaUnbindMemberIfBound(L, kRestartName, this);
    }
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(&mScrollTransform);
    mImages.clear();
    mTextObjects.clear();
}

TWindow* TextScroll::Create()
{
    return new TextScroll();
}

TClassId TextScroll::GetClassId()
{
    return reinterpret_cast<TClassId>(&TextScroll::Create);
}

int32_t TextScroll::GetWindowHeight() const
{
    const TRect& rect = GetRect();
    int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
    return static_cast<int32_t>(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX));
}

void TextScroll::PostInit(TWindowStyle& style)
{
    GameWindow::PostInit(style);
    mTextScrim = style.GetBool("textscrim", false);
    mCompleteString = style.GetString("completestring", "");
    mScrollSpeed = static_cast<float>(style.GetNumber("scrollspeed", 0));
    float height = 0;
    if (!BuildContent(style, height))
        return;
    for (CoverVertex& vertex : mScrimQuad)
        vertex.diffuse = mTextScrim ? kOpaqueBlack : 0;
    mScrollDistance = static_cast<float>(GetWindowHeight()) + height;
    RestartScroll();
}

bool TextScroll::BuildContent(TWindowStyle& style, float& y)
{
    std::unique_ptr<TLuaTable> textTypes(style.GetTable("texttypes"));
    if (textTypes == nullptr)
    {
        ReportError("Cannot find 'texttypes' table in TextScroll!", "textscroll", __LINE__, false);
        return false;
    }
    std::unique_ptr<TLuaTable> objects(style.GetTable("objects"));
    if (objects == nullptr)
    {
        ReportError("Cannot find 'objects' table in TextScroll!", "textscroll", __LINE__, false);
        return false;
    }

    std::map<std::string, std::unique_ptr<TLuaTable>> types;
    TLuaObjectWrapper* key = nullptr;
    while (TLuaTable* value = textTypes->Next(&key))
        types[key->ToString().c_str()].reset(value);

    y = 0;
    for (double i = 1;; ++i)
    {
        std::unique_ptr<TLuaTable> entry(objects->GetTableAt(i));
        if (entry == nullptr)
            break;
        const TString type = entry->GetString("type", "");
        const auto gap = static_cast<float>(entry->GetNumber("yoffset", 0));
        if (type == "image")
        {
            y += gap;
            std::unique_ptr<TLuaTable> bitmap(entry->GetTable("bitmap"));
            // An image without its table has nothing to show and takes only its gap.
            if (bitmap == nullptr)
                continue;
            std::shared_ptr<AnimatedBitmap> image = AnimatedBitmap::Create(*bitmap);
            MoveDown(image->GetTransform(), 0, y);
            y += static_cast<float>(image->GetHeight());
            mImages.push_back(image);
            continue;
        }
        auto found = types.find(type.c_str());
        if (found == types.end() || found->second == nullptr)
        {
            ReportError(
                TString::Format("Cannot find table for text type '%s'!", type.c_str()).c_str(),
                "textscroll", __LINE__, false);
            return false;
        }
        std::shared_ptr<TextObject> text = TextObject::Create(*found->second);
        y += gap;
        if (TM_Transform2D* transform = text->GetTransform())
            MoveDown(*transform, 0, y);
        text->SetText(LookUpText(entry->GetString("text", "")));
        TRect bounds;
        if (text->GetTextSprite())
            text->GetTextSprite()->GetTextBounds(bounds, TDrawSpec());
        const auto h = static_cast<float>(bounds.bottom - bounds.top);
        const float middle = y + static_cast<float>(bounds.top) + h * 0.5f;
        if (auto left = MakeSideImage(*entry, "leftimage", static_cast<float>(bounds.left), middle))
            mImages.push_back(left);
        if (auto right =
                MakeSideImage(*entry, "rightimage", static_cast<float>(bounds.right), middle))
            mImages.push_back(right);
        y += h;
        mTextObjects.push_back(text);
    }
    return true;
}

uint32_t TextScroll::GetScrollDuration() const
{
    if (!(mScrollSpeed > 0))
        return 0;
    // A tiny speed or a huge distance would not fit the motion's clock: held at the largest int.
    const double ms = static_cast<double>(mScrollDistance) / mScrollSpeed * 1000.0;
    if (!(ms > 0))
        return 0;
    if (ms >= static_cast<double>(INT32_MAX))
        return INT32_MAX;
    return static_cast<uint32_t>(ms);
}

void TextScroll::RestartScroll()
{
    TransformManager* transforms = TransformManager::Instance();
    // One motion and one completion, however often the script restarts.
    if (transforms != nullptr)
        transforms->RemoveTransforms(&mScrollTransform);
    mScrollComplete = 0;
    const auto height = static_cast<float>(GetWindowHeight());
    if (!(mScrollSpeed > 0) || transforms == nullptr)
    {
        // No speed moves nothing (the duration would divide by zero): the next update completes.
        mScrollComplete = 1;
        return;
    }
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Move(GetScrollDuration(), true, TVec2(0, height - mScrollDistance),
                                TVec2(0, height), 0, 1.0f));
    transforms->AddTransform(&mScrollTransform, list, new Callback(this, &TextScroll::OnScrollEnd),
                             nullptr);
}

void TextScroll::OnScrollEnd(void* object, TM_Transform*, uint32_t)
{
    static_cast<TextScroll*>(object)->mScrollComplete = 1;
}

void TextScroll::PauseScroll()
{
    mPaused = 1;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->PauseTransforms(&mScrollTransform);
}

void TextScroll::ResumeScroll()
{
    mPaused = 0;
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->ResumeTransforms(&mScrollTransform);
}

bool TextScroll::Animate()
{
    if (mPaused == 0)
    {
        if (mScrollComplete != 0)
        {
            mScrollComplete = 0;
            // Copied: the statement may restart the scroll or close this window.
            TString statement = mCompleteString;
            if (TScript* script = GetWindowScript())
                script->DoLuaString(statement);
        }
        for (const std::shared_ptr<AnimatedBitmap>& image : mImages)
            image->Update();
    }
    return GameWindow::Animate();
}

void TextScroll::Draw()
{
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr)
        return;
    const bool entered = !renderer->InBegin2d() && renderer->Begin2d();
    GameWindow::Draw();
    if (mTextScrim)
    {
        renderer->SetTexture(nullptr);
        TVertexSet* set = TVertexSet::CreateColored(mScrimQuad, 4);
        renderer->DrawIndexedVertices(kTriangleList, *set, kScrimIndices, 6);
        TVertexSet::Release(set);
    }
    for (const std::shared_ptr<TextObject>& text : mTextObjects)
        text->Draw(mDrawSpec);
    for (const std::shared_ptr<AnimatedBitmap>& image : mImages)
        image->Draw(mDrawSpec);
    if (entered)
        renderer->End2d();
}

bool TextScroll::OnMessage(TMessage* message)
{
    if (message->mType == WindowManager::kPausedInactiveMessage)
    {
        if (mPaused != 0)
            return false;
        if (TVButton* menu = TVButton::Cast(FindChild("menu", 1)))
            menu->Fire();
        return true;
    }
    if (message->mType == WindowManager::kResumedActiveMessage)
    {
        if (mPaused == 0)
            return false;
        // The script's pause holds: pausing again holds whatever the focus's return let go.
        PauseScroll();
        return true;
    }
    return false;
}
