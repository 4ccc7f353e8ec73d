// Singleton: the base of the framework's process-wide objects (the frame clock, the transform and
// audio managers, the frame driver), each reached through one instance pointer.
#pragma once

// What the frame driver's client list holds: any singleton, stepped through Update.
class SingletonBase
{
public:
    virtual ~SingletonBase() = default;
    // The per-frame step of a client of the frame driver; nothing by default.
    virtual void Update() {}
};

template <class T> class Singleton : public SingletonBase
{
public:
    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

    static T* Instance() { return sInstance; }

protected:
    // The subclass's constructor stores itself with SetInstance.
    Singleton() = default;
    ~Singleton() override
    {
        // Another instance may have replaced this one; its pointer is not this one's to clear.
        if (sInstance != nullptr && static_cast<Singleton*>(sInstance) == this)
            sInstance = nullptr;
    }
    static void SetInstance(T* instance) { sInstance = instance; }

private:
    static inline T* sInstance = nullptr;
};
