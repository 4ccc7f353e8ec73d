// Test support: an environment variable changed for a test's span and put back as it was.
#pragma once

#include <cstdlib>
#include <string>

namespace testsupport
{

class EnvironmentGuard
{
public:
    // Remembers the variable; the test may then change it freely.
    explicit EnvironmentGuard(const std::string& name) : mName(name)
    {
        const char* value = std::getenv(name.c_str());
        mHad = value != nullptr;
        if (mHad)
            mValue = value;
    }
    // Remembers the variable and sets it.
    EnvironmentGuard(const std::string& name, const std::string& value) : EnvironmentGuard(name)
    {
        setenv(name.c_str(), value.c_str(), 1);
    }
    ~EnvironmentGuard()
    {
        if (mHad)
            setenv(mName.c_str(), mValue.c_str(), 1);
        else
            unsetenv(mName.c_str());
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    std::string mName;
    bool mHad = false;
    std::string mValue;
};

} // namespace testsupport
