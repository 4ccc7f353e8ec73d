// Animated textures: the description read from XML or the packed form (counts and lengths checked
// against the bytes left), the generated default script, the frame sheet, and drawing a frame with
// its registration point, transform, source rectangle and alpha.
#include "render/sprites/animated_texture.h"

#include "platform/shell/application.h"
#include "platform/files/asset_manager.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/log.h"
#include "platform/shell/task.h"
#include "platform/config/xml.h"
#include "render/renderer/renderer.h"

#include <algorithm>
#include <cstring>

namespace
{
bool HasAttribute(TXmlNode* node, const char* name)
{
    TString key, value;
    node->ResetAttributeCursor();
    while (node->GetNextAttribute(key, value))
        if (key == name)
            return true;
    return false;
}

int32_t IntAttribute(TXmlNode* node, const char* name)
{
    return node->GetAttribute(name).ToInt();
}

// Far beyond any sheet a texture holds; within it, a frame's far edges and the source rectangles
// drawn from it stay inside the integers that carry them.
constexpr int32_t kFrameCoordinateLimit = 1 << 24;

// The frames whose rectangle was refused while reading one description: emptied, counted, and
// reported in one line when the reading ends.
struct TRefusedFrames
{
    int32_t mCount = 0;
    int32_t mFirst = -1;
    int32_t mFirstGeometry[4] = {0, 0, 0, 0};

    void Check(TAnimationFrame& frame, int32_t index)
    {
        auto outside = [](int32_t v)
        { return v < -kFrameCoordinateLimit || v > kFrameCoordinateLimit; };
        if (!outside(frame.mX) && !outside(frame.mY) && !outside(frame.mW) && !outside(frame.mH))
            return;
        if (mCount++ == 0)
        {
            mFirst = index;
            mFirstGeometry[0] = frame.mX;
            mFirstGeometry[1] = frame.mY;
            mFirstGeometry[2] = frame.mW;
            mFirstGeometry[3] = frame.mH;
        }
        frame.mX = frame.mY = frame.mW = frame.mH = 0;
    }
    void Report(const TString& path) const
    {
        if (mCount > 0)
            Log("Animation %s: %d frame rectangles out of range, shown empty (the first, frame %d: "
                "x %d, y %d, w %d, h %d)",
                path.c_str(), static_cast<int>(mCount), static_cast<int>(mFirst),
                static_cast<int>(mFirstGeometry[0]), static_cast<int>(mFirstGeometry[1]),
                static_cast<int>(mFirstGeometry[2]), static_cast<int>(mFirstGeometry[3]));
    }
};

// Reads the packed form from a block, never past its end.
class TPackedReader
{
public:
    TPackedReader(const uint8_t* data, uint32_t size) : mData(data), mSize(size) {}

    uint32_t Left() const { return mSize - mPos; }
    bool Tag(const char* tag)
    {
        if (Left() < 4 || std::memcmp(mData + mPos, tag, 4) != 0)
            return false;
        mPos += 4;
        return true;
    }
    bool Int(int32_t& out)
    {
        if (Left() < 4)
            return false;
        out = static_cast<int32_t>(static_cast<uint32_t>(mData[mPos]) |
                                   static_cast<uint32_t>(mData[mPos + 1]) << 8 |
                                   static_cast<uint32_t>(mData[mPos + 2]) << 16 |
                                   static_cast<uint32_t>(mData[mPos + 3]) << 24);
        mPos += 4;
        return true;
    }
    bool Float(float& out)
    {
        int32_t bits = 0;
        if (!Int(bits))
            return false;
        std::memcpy(&out, &bits, sizeof out);
        return true;
    }
    // A length of 0 or less is an empty text; a longer one must fit in what is left.
    bool String(TString& out)
    {
        int32_t length = 0;
        if (!Int(length))
            return false;
        out = TString();
        if (length <= 0)
            return true;
        if (static_cast<uint32_t>(length) > Left())
            return false;
        out = TString(reinterpret_cast<const char*>(mData + mPos), static_cast<unsigned>(length));
        mPos += static_cast<uint32_t>(length);
        return true;
    }
    // A count of records of at least `smallest` bytes each that the rest of the block can hold.
    bool Count(int32_t& out, uint32_t smallest)
    {
        return Int(out) && out >= 0 && static_cast<uint64_t>(out) * smallest <= Left();
    }

private:
    const uint8_t* mData;
    uint32_t mSize;
    uint32_t mPos = 0;
};

// Bytes of the smallest frame record and anchor record.
constexpr uint32_t kFrameBytesV1 = 6 * 4 + 6 * 4 + 4 + 4;
constexpr uint32_t kAnchorBytes = 3 * 4;
} // namespace

TAnimationDescription::~TAnimationDescription()
{
    if (!mScriptTask)
        return;
    if (TApplication* application = TApplication::Get())
        application->RemoveTask(mScriptTask);
    delete mScriptTask;
}

TAnimatedTexture::~TAnimatedTexture() = default;

TString TAnimatedTexture::DefaultScript(int32_t frameCount)
{
    TString script = "function DoAnim()\n";
    script += "    delay(60);\n";
    if (frameCount >= 1)
    {
        script += "    frames{";
        for (int32_t i = 1; i <= frameCount; ++i)
            script += TString::Format(i == 1 ? "%d" : ",%d", i);
        script += "};\n";
    }
    script += "end\n";
    return script;
}

TString TAnimatedTexture::GetScript() const
{
    return mDescription.mHasScript ? mDescription.mScript : DefaultScript(mDescription.mFrameCount);
}

std::shared_ptr<TAnimatedTexture>
TAnimatedTexture::FromTexture(const std::shared_ptr<TTexture>& texture)
{
    if (texture && texture->IsKindOf(GetClassId()))
        return std::static_pointer_cast<TAnimatedTexture>(texture);
    return nullptr;
}

std::shared_ptr<TAnimatedTexture> TAnimatedTexture::Get(const TString& path, const TString& image,
                                                        const TString& mask)
{
    const TString key = path + ":" + image + ":" + mask;
    TAssetManager* manager = GetAssetManager();
    if (manager)
        if (auto cached = manager->GetAsset(key); cached && cached->IsKindOf(GetClassId()))
            return std::static_pointer_cast<TAnimatedTexture>(cached);
    auto texture = std::make_shared<TAnimatedTexture>();
    if (manager)
        manager->AddAsset(key, texture);
    if (!texture->Load(path, image, mask) || !texture->LoadSheet())
        return nullptr;
    return texture;
}

bool TAnimatedTexture::Load(const TString& path, const TString& image, const TString& mask)
{
    TString name = path;
    if (!FileExists(name))
    {
        name = path + ".xml";
        if (!FileExists(name))
            name = path + ".anm";
        if (!FileExists(name))
            return false;
    }
    mDescription.mFilePath = name;
    bool ok = false;
    if (name.Find(".xml") >= 0)
    {
        ok = LoadXml(name);
    }
    else if (name.Find(".anm") >= 0)
    {
        TFile file;
        if (!file.Open(name, kFileReadBinary))
            return false;
        const int length = std::max(file.Length(), 0);
        std::vector<uint8_t> bytes(static_cast<size_t>(length));
        const int got = length > 0 ? file.Read(bytes.data(), length) : 0;
        file.Close();
        ok = LoadPacked(bytes.data(), static_cast<uint32_t>(std::max(got, 0)));
    }
    if (!ok)
        return false;
    const int slash =
        std::max(name.FindChar('/', kStringBackwards), name.FindChar('\\', kStringBackwards));
    mDescription.mFolder = slash >= 0 ? name.Substr(0, slash + 1) : TString();
    if (image.Length() != 0)
        mDescription.mImageName = image;
    if (mask.Length() != 0)
        mDescription.mMaskName = mask;
    return true;
}

bool TAnimatedTexture::LoadXml(const TString& path)
{
    TAnimationDescription& d = mDescription;
    TXmlNode root;
    root.ParseFile(path);
    TXmlNode* sequence = root.FindChild("sequence");
    if (!sequence)
    {
        Log("Animation %s does not contain a sequence node", path.c_str());
        return false;
    }
    bool ok = true;
    d.mSequenceName = sequence->GetAttribute("name");
    d.mSource = sequence->GetAttribute("source");
    if (TXmlNode* img = sequence->FindChild("img"))
    {
        if (HasAttribute(img, "regx"))
        {
            d.mRegX = IntAttribute(img, "regx");
            d.mRegY = IntAttribute(img, "regy");
        }
        d.mImageWidth = IntAttribute(img, "w");
        d.mImageHeight = IntAttribute(img, "h");
        d.mImageName = img->GetAttribute("name");
        d.mMaskName = img->GetAttribute("mask");
    }
    else
    {
        // Reported, yet the rest is still read.
        Log("Animation %s does not contain an img node", path.c_str());
        ok = false;
    }
    TXmlNode* list = sequence->FindChild("framelist");
    if (!list)
    {
        Log("Animation %s does not contain a framelist node", path.c_str());
        return false;
    }
    std::vector<TXmlNode*> frameNodes;
    TString childName;
    TXmlNode* child = nullptr;
    list->ResetChildCursor();
    while (list->GetNextChild(childName, child))
        if (childName == "frame")
            frameNodes.push_back(child);
    if (frameNodes.empty())
    {
        Log("Animation %s does not contain any frames!", path.c_str());
        return false;
    }
    d.mFrames.assign(frameNodes.size(), TAnimationFrame());
    d.mFrameCount = static_cast<int32_t>(frameNodes.size());
    TRefusedFrames refused;
    for (size_t i = 0; i < frameNodes.size(); ++i)
    {
        TXmlNode* node = frameNodes[i];
        TAnimationFrame& frame = d.mFrames[i];
        const TAnimationFrame* previous = i > 0 ? &d.mFrames[i - 1] : nullptr;
        frame.mX = IntAttribute(node, "x");
        frame.mY = IntAttribute(node, "y");
        frame.mW = IntAttribute(node, "w");
        frame.mH = IntAttribute(node, "h");
        refused.Check(frame, static_cast<int32_t>(i));
        frame.mName = node->GetAttribute("name");
        const TString alpha = node->GetAttribute("alpha");
        frame.mAlpha = alpha.Length() != 0 ? alpha.ToFloat() : 1.0f;
        if (HasAttribute(node, "regx"))
        {
            frame.mRegX = IntAttribute(node, "regx");
            frame.mRegY = IntAttribute(node, "regy");
        }
        else if (previous)
        {
            frame.mRegX = previous->mRegX;
            frame.mRegY = previous->mRegY;
        }
        const TString xform = node->GetAttribute("xform");
        if (xform.Length() != 0)
        {
            int start = 0;
            for (int k = 0; k < 6 && start <= xform.Length(); ++k)
            {
                int blank = xform.FindChar(' ', 0, start);
                if (blank < 0)
                    blank = xform.Length();
                frame.mTransform[k] = xform.Substr(start, blank - start).ToFloat();
                start = blank + 1;
            }
        }
        else if (previous)
        {
            std::copy(std::begin(previous->mTransform), std::end(previous->mTransform),
                      frame.mTransform);
        }
        node->ResetChildCursor();
        TXmlNode* anchor = nullptr;
        while (node->GetNextChild(childName, anchor))
            if (childName == "anchor")
                frame.mAnchors.push_back(TAnimationAnchor{anchor->GetAttribute("name"),
                                                          IntAttribute(anchor, "x"),
                                                          IntAttribute(anchor, "y")});
        frame.mAnchorCount = static_cast<int32_t>(frame.mAnchors.size());
        d.mWidestFrame = std::max(d.mWidestFrame, frame.mW);
        d.mHighestFrame = std::max(d.mHighestFrame, frame.mH);
    }
    refused.Report(path);
    if (TXmlNode* script = sequence->FindChild("script"))
    {
        d.mScript = script->GetAttribute("luascript");
        if (d.mScript.Length() == 0)
            d.mScript = script->GetText();
        d.mHasScript = true;
    }
    return ok;
}

bool TAnimatedTexture::LoadPacked(const uint8_t* data, uint32_t size)
{
    TAnimationDescription& d = mDescription;
    TPackedReader in(data, size);
    int32_t ignored = 0, version = 0;
    if (!in.Tag("ANIM"))
        return false;
    bool whole =
        in.Int(ignored) && in.Int(version) && in.String(d.mSequenceName) && in.String(d.mSource);
    if (whole && !in.Tag("IMGN"))
        return false;
    whole = whole && in.Int(d.mRegX) && in.Int(d.mRegY) && in.Int(d.mImageWidth) &&
            in.Int(d.mImageHeight);
    float unused = 0;
    if (version == 1)
        for (int i = 0; i < 4 && whole; ++i)
            whole = in.Float(unused);
    whole = whole && in.String(d.mImageName) && in.String(d.mMaskName);
    if (whole && !in.Tag("FRMS"))
        return false;
    const uint32_t frameBytes = kFrameBytesV1 + (version >= 2 ? 4 : 0);
    int32_t count = 0;
    whole = whole && in.Count(count, frameBytes);
    if (whole)
    {
        d.mFrames.assign(static_cast<size_t>(count), TAnimationFrame());
        d.mFrameCount = count;
    }
    TRefusedFrames refused;
    for (int32_t i = 0; whole && i < count; ++i)
    {
        TAnimationFrame& frame = d.mFrames[static_cast<size_t>(i)];
        whole = in.Int(frame.mRegX) && in.Int(frame.mRegY) && in.Int(frame.mX) &&
                in.Int(frame.mY) && in.Int(frame.mW) && in.Int(frame.mH);
        if (whole)
            refused.Check(frame, i);
        if (whole && version >= 2)
            whole = in.Float(frame.mAlpha);
        for (int k = 0; k < 6 && whole; ++k)
            whole = in.Float(frame.mTransform[k]);
        whole = whole && in.String(frame.mName) && in.Count(frame.mAnchorCount, kAnchorBytes);
        if (whole)
            frame.mAnchors.assign(static_cast<size_t>(frame.mAnchorCount), TAnimationAnchor());
        for (auto& anchor : frame.mAnchors)
            whole = whole && in.Int(anchor.mX) && in.Int(anchor.mY) && in.String(anchor.mName);
        d.mWidestFrame = std::max(d.mWidestFrame, frame.mW);
        d.mHighestFrame = std::max(d.mHighestFrame, frame.mH);
    }
    if (!whole)
    {
        Log("Animation %s: a count or length does not fit in the file", d.mFilePath.c_str());
        d.mFrames.clear();
        d.mFrameCount = 0;
        return false;
    }
    refused.Report(d.mFilePath);
    d.mHasScript = in.Tag("SCRP") && in.String(d.mScript);
    if (!d.mHasScript)
        d.mScript = TString();
    return true;
}

bool TAnimatedTexture::LoadSheet()
{
    TTextureData& data = *GetData();
    data.mFlags = static_cast<uint8_t>((data.mFlags | kTexAlpha) & ~kTexAlphaFromImage);
    const TAnimationDescription& d = mDescription;
    const bool loaded =
        d.mMaskName.Length() == 0
            ? data.LoadFromFile(d.mFolder + d.mImageName) || data.LoadFromFile(d.mImageName)
            : data.LoadFromFile(d.mFolder + d.mImageName, d.mFolder + d.mMaskName) ||
                  data.LoadFromFile(d.mImageName, d.mMaskName);
    // A description without its sheet is a file missing from the game: the empty result alone
    // would leave nothing to say why the thing is not drawn.
    if (!loaded)
        Log("Animation %s: its frame sheet %s cannot be read", d.mFilePath.c_str(),
            d.mImageName.c_str());
    return loaded;
}

const TAnimationFrame* TAnimatedTexture::GetFrameRecord(int32_t frame) const
{
    if (frame < 0 || frame >= mDescription.mFrameCount ||
        static_cast<size_t>(frame) >= mDescription.mFrames.size())
        return nullptr;
    return &mDescription.mFrames[static_cast<size_t>(frame)];
}

void TAnimatedTexture::SetFrame(int32_t frame)
{
    if (frame >= -1 && frame < mDescription.mFrameCount)
        mDescription.mCurrentFrame = frame;
}

uint32_t TAnimatedTexture::GetWidth() const
{
    const TAnimationFrame* frame = GetFrameRecord(mDescription.mCurrentFrame);
    return frame ? static_cast<uint32_t>(frame->mW) : 0;
}

uint32_t TAnimatedTexture::GetHeight() const
{
    const TAnimationFrame* frame = GetFrameRecord(mDescription.mCurrentFrame);
    return frame ? static_cast<uint32_t>(frame->mH) : 0;
}

void TAnimatedTexture::GetFrameRect(int32_t frame, TRect& out) const
{
    const TAnimationFrame* record = GetFrameRecord(frame);
    out = record ? TRect(record->mX, record->mY, record->mX + record->mW, record->mY + record->mH)
                 : TRect(0, 0, 0, 0);
}

TVec2 TAnimatedTexture::GetRegistration() const
{
    return TVec2(static_cast<float>(mDescription.mRegX), static_cast<float>(mDescription.mRegY));
}

TVec2 TAnimatedTexture::GetFrameRegistration(int32_t frame) const
{
    const TAnimationFrame* record = GetFrameRecord(frame);
    return record ? TVec2(static_cast<float>(record->mRegX), static_cast<float>(record->mRegY))
                  : TVec2();
}

void TAnimatedTexture::Draw(const TDrawSpec& given)
{
    const TAnimationFrame* frame = GetFrameRecord(mDescription.mCurrentFrame);
    if (!frame || frame->mW == 0)
        return;
    TDrawSpec spec = given;
    if (!(spec.mFlags & kDrawOrigin))
    {
        spec.mFlags |= kDrawOrigin;
        spec.mOrigin = TVec2(static_cast<float>(frame->mRegX), static_cast<float>(frame->mRegY));
        // Mirrored frames keep their registration point.
        if (spec.mFlags & kDrawMirrorX)
            spec.mOrigin.x = static_cast<float>(frame->mW) - spec.mOrigin.x;
        if (spec.mFlags & kDrawMirrorY)
            spec.mOrigin.y = static_cast<float>(frame->mH) - spec.mOrigin.y;
    }
    if (frame->HasTransform())
    {
        const float* t = frame->mTransform;
        spec.mMatrix = TMat3(t[0], t[1], 0, t[2], t[3], 0, t[4], t[5], 1) * spec.mMatrix;
    }
    const TRect frameRect(frame->mX, frame->mY, frame->mX + frame->mW, frame->mY + frame->mH);
    if (!(spec.mFlags & kDrawSourceRect))
    {
        spec.mSourceRect = frameRect;
        spec.mFlags |= kDrawSourceRect;
    }
    else
    {
        const TRect moved(spec.mSourceRect.left + frame->mX, spec.mSourceRect.top + frame->mY,
                          spec.mSourceRect.right + frame->mX, spec.mSourceRect.bottom + frame->mY);
        spec.mSourceRect.SetIntersection(moved, frameRect);
    }
    spec.mAlpha *= frame->mAlpha;
    TTexture::Draw(spec);
}

void TAnimatedTexture::DrawAt(float x, float y, float alpha, float scale, float rotation,
                              uint32_t flags)
{
    TDrawSpec spec(TVec2(x, y), alpha, scale, flags);
    spec.mMatrix.Rotate(rotation);
    Draw(spec);
}
