// What the platform shell asks of the sound manager. The sound layer's manager implements this;
// until it exists a manager that does nothing stands in.
#pragma once

#include <memory>

class TSoundManagerSeam
{
public:
    virtual ~TSoundManagerSeam() = default;

    // Starts the sound thread and device; the platform ignores the answer at start-up.
    virtual bool Init() { return false; }
    // The new activity state: false pauses every stream, true resumes them.
    virtual void SetPaused(bool active) { (void)active; }
    // Delivers the queued stream notifications on the main thread.
    virtual void DispatchNotifications() {}
    // The master volume times the group's volume, 0.0 to 1.0; the master volume alone for a group
    // without an entry (-1 asks for exactly that).
    virtual float GetEffectiveVolume(int group)
    {
        (void)group;
        return 1.0f;
    }
    // Stores the master volume and applies it to every playing sound and stream.
    virtual void SetMasterVolume(float volume) { (void)volume; }
};

// The stand-in before the sound layer exists: no device, so Init fails.
class TNoSoundManager : public TSoundManagerSeam
{
};

using TSoundManagerFactory = std::unique_ptr<TSoundManagerSeam> (*)();
// The program's entry installs the sound layer's factory and its Ogg data-source registration;
// null goes back to the stand-ins.
void SetSoundManagerFactory(TSoundManagerFactory factory);
std::unique_ptr<TSoundManagerSeam> CreateSoundManagerFromSeam();
void SetOggDataSourceRegistration(void (*registration)());
// Registers the data-source builder for "ogg" through the installed registration.
void RegisterOggDataSourceBuilder();
