// The failure reporter's log lines and its one static instance.
#include "particles/failure.h"

#include "platform/log.h"

TFailure::~TFailure() = default;

void TFailure::Report(const char* message, int line, const char* file)
{
    Log("%s(%d): %s", file, line, message);
}

void TFailure::Report(const char* message)
{
    Log("%s", message);
}

namespace
{
TFailure sFailure;
}

TFailure* gFailure = &sFailure;
