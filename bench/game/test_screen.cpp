// The test screen: textures painted in code, the sprite tree and text sprites, and one frame drawn
// through the renderer.
#include "test_screen.h"

#include "platform/config/config.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/text/text_layout.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"

#include <cmath>

namespace
{
// Textures painted in code, so the test screen needs nothing from the game's folder.
std::shared_ptr<TTexture> PaintedTexture(uint32_t size, uint32_t inner, uint32_t outer, bool disc)
{
    auto texture = TTexture::Create(size, size, true);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture || !texture->Lock(pixels, pitch))
        return nullptr;
    const float half = static_cast<float>(size) / 2;
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
        {
            const float dx = static_cast<float>(x) + 0.5f - half;
            const float dy = static_cast<float>(y) + 0.5f - half;
            // A 3-pixel rim of the outer colour; a disc is transparent outside its circle.
            const float distance = std::sqrt(dx * dx + dy * dy);
            const bool rim =
                disc ? distance > half - 3 : x < 3 || y < 3 || x + 3 >= size || y + 3 >= size;
            uint32_t& pixel = pixels[y * static_cast<uint32_t>(pitch) + x];
            pixel = disc && distance > half ? 0u : rim ? outer : inner;
        }
    texture->Unlock();
    return texture;
}

// Keeps the spec's translation; sets its linear part to a turn by `radians`.
void SetTurn(TDrawSpec& spec, float radians)
{
    const float c = std::cos(radians), s = std::sin(radians);
    spec.mMatrix.m[0][0] = c;
    spec.mMatrix.m[0][1] = s;
    spec.mMatrix.m[1][0] = -s;
    spec.mMatrix.m[1][1] = c;
}
} // namespace

TTestScreen::TTestScreen()
{
    mTitle = TTextSprite::Create(400, 40, 0, TString(), 28, TVec4(0.95f, 0.9f, 0.7f, 1), 0);
    mTitle->SetText("Murkwell");
    mTitle->GetSpec().mMatrix.m[2][0] = 24;
    mTitle->GetSpec().mMatrix.m[2][1] = 16;
    mVersion = TTextSprite::Create(400, 24, 0, TString(), 14, TVec4(0.6f, 0.65f, 0.7f, 1), 0);
    mVersion->SetText(TString("Version ") + GetConfig("version"));
    mVersion->GetSpec().mMatrix.m[2][0] = 26;
    mVersion->GetSpec().mMatrix.m[2][1] = 52;

    mWheel = TSprite::Create(0, PaintedTexture(48, 0xFF3A6EA5, 0xFFE0E8F0, true));
    mWheel->GetSpec().mMatrix.m[2][0] = 400;
    mWheel->GetSpec().mMatrix.m[2][1] = 280;
    const uint32_t colours[4] = {0xFFC04040, 0xFF40A060, 0xFFD0A030, 0xFF8050C0};
    for (int i = 0; i < 4; ++i)
    {
        auto spoke =
            TSprite::Create(i % 2 == 0 ? -1 : 1, PaintedTexture(40, colours[i], 0xFF202020, false));
        const float angle = static_cast<float>(i) * 1.5707963f;
        spoke->GetSpec().mMatrix.m[2][0] = 110 * std::cos(angle);
        spoke->GetSpec().mMatrix.m[2][1] = 110 * std::sin(angle);
        auto moon = TSprite::Create(0, PaintedTexture(16, 0xFFF0F0F0, colours[i], true));
        moon->GetSpec().mMatrix.m[2][0] = 32;
        spoke->AddChild(moon);
        mWheel->AddChild(spoke);
        mSpokes.push_back(spoke);
    }
    mCaption = TTextSprite::Create(600, 30, kTextAlignCenter, TString(), 18,
                                   TVec4(0.85f, 0.85f, 0.9f, 1), 0);
    mCaption->SetText("Drawn by the renderer, one frame per idle tick");
    mCaption->GetSpec().mMatrix.m[2][0] = 400;
    mCaption->GetSpec().mMatrix.m[2][1] = 470;
}

TTestScreen::~TTestScreen() = default;

void TTestScreen::DrawFrame(uint32_t frame, bool present)
{
    TRenderer* renderer = TRenderer::Existing();
    if (!renderer || !renderer->BeginDraw(false))
        return;
    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0.07f, 0.08f, 0.11f, 1));
    if (renderer->Begin2d())
    {
        const float turn = static_cast<float>(frame % 720) * 0.00872665f; // half a degree
        SetTurn(mWheel->GetSpec(), turn);
        for (const auto& spoke : mSpokes)
            SetTurn(spoke->GetSpec(), -2 * turn);
        const TDrawSpec screen;
        mWheel->Draw(screen);
        mTitle->Draw(screen);
        mVersion->Draw(screen);
        mCaption->GetSpec().mAlpha = 0.6f + 0.4f * static_cast<float>(frame % 60) / 60;
        mCaption->Draw(screen);
        renderer->End2d();
    }
    renderer->EndFrame(present);
}
