// TGameStateHandler: the base of everything that plugs into the game-state store (add-on modules,
// metrics, portal hosts). Header-only on purpose: add-on modules derive from it without linking us.
#pragma once

// Add-on modules are built against this header with the same compiler; they rely on the order of
// the virtual operations below, so never reorder them or insert one before `Disable`.
class TGameStateHandler
{
public:
    TGameStateHandler() = default;
    TGameStateHandler(const TGameStateHandler&) = delete;
    TGameStateHandler& operator=(const TGameStateHandler&) = delete;
    virtual ~TGameStateHandler() {}

    // A state change; true takes it, so later handlers do not see it.
    virtual bool OnSetState(const char* name, const char* value) = 0;
    // The value to report for a read. The returned text must stay valid until the caller has
    // copied it; returning `value` itself is allowed.
    virtual const char* FilterGetState(const char* name, const char* value)
    {
        (void)name;
        return value;
    }
    virtual bool QueryRestartMode() { return false; }
    virtual bool QueryJumpToMenu() { return false; }
    virtual bool QueryMute() { return false; }
    virtual bool QueryHostPause() { return false; }
    // Called once at shutdown, before the handler is deleted: the last moment to finish work.
    virtual void Disable() { mDisabled = true; }

    bool IsDisabled() const { return mDisabled; }

protected:
    // The store never reads this; handlers check it themselves.
    bool mDisabled = false;
};
