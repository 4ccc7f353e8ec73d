// TFailure: the failure reporter of the particle nodes, one static instance behind a global
// pointer.
#pragma once

class TFailure
{
public:
    virtual ~TFailure();
    // Logs "<file>(<line>): <message>".
    virtual void Report(const char* message, int line, const char* file);
    // Logs the message as it is.
    virtual void Report(const char* message);
};

// Points at the static reporter; tests may point it at their own and must put it back.
extern TFailure* gFailure;
