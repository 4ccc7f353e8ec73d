// The services' links into the platform: the game-state store, its add-on modules and the exit
// statistics behind the platform's host-services seam, and the store's view of the application and
// of the sound manager's master volume.
#pragma once

// Installs every link; the program's entry calls it before it hands control to the platform.
void LinkServicesToPlatform();
// Takes them out again (the platform then sees no services, the store no application).
void UnlinkServicesFromPlatform();
