// How the process's heap treats large freed blocks.
#pragma once

namespace sys
{
// Keeps freed blocks of up to 64 MiB in the heap for the next allocation instead of handing them
// back to the system. Loading a scene frees and allocates texture and decode blocks of several
// megabytes each; handed back, every page of the next one faults in again, which doubled the
// time of a texture load. Called once at start-up.
void KeepFreedMemoryForReuse();
} // namespace sys
