// The sound layer behind the platform's seams: the manager's factory, the Ogg builder's
// registration and the device's log lines.
#include "sound/sound_link.h"
#include "sound/ogg_data_source.h"
#include "sound/sound_manager.h"

#include "platform/log.h"
#include "sys/audio/audio_log.h"

namespace
{
std::unique_ptr<TSoundManagerSeam> MakeSoundManager()
{
    return std::make_unique<TSoundManager>();
}
} // namespace

void LinkSoundToPlatform()
{
    SetSoundManagerFactory(&MakeSoundManager);
    SetOggDataSourceRegistration(&RegisterOggBuilder);
    sys::audio::SetAudioLogSink([](const std::string& line) { Log("%s", line.c_str()); });
}
