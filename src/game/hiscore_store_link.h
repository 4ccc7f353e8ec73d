// The services' high-score store behind the framework's store interface: the framework sits below
// the services, so the game, which sees both, joins them.
#pragma once

// Installs the factory that makes a TQmHiscores for the framework; the program's entry calls it.
void LinkHiscoreStoreToFramework();
// Takes the factory out again.
void UnlinkHiscoreStoreFromFramework();
