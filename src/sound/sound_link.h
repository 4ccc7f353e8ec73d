// What the program's entry calls to put the sound layer behind the platform's seams.
#pragma once

// Installs the sound manager's factory and the Ogg registration, and routes the sound device's
// own log lines into the log.
void LinkSoundToPlatform();
