// How the process's heap treats large freed blocks, and large blocks read at random.
#pragma once

#include <cstddef>

namespace sys
{
// Keeps freed blocks of up to 64 MiB in the heap for the next allocation instead of handing them
// back to the system. Loading a scene frees and allocates texture and decode blocks of several
// megabytes each; handed back, every page of the next one faults in again, which doubled the
// time of a texture load. Called once at start-up.
void KeepFreedMemoryForReuse();

// Asks for large pages under the whole 2 MiB spans of a block that is written in full at once and
// then read at random (a hash table of many megabytes): one translation entry then covers 512
// small pages, and a 2 MiB span faults in once. Only advice: nothing changes where the system
// does not give large pages. Blocks under 4 MiB are left as they are.
void PreferLargePages(void* block, size_t bytes);
} // namespace sys
