#pragma once

#include "files/Files.h"
#include "files/Dialogs.h"

namespace tessera {

// What the editor is made with: the dialogs (GUI thread) and the files (any thread). The windows
// and commands take whichever of the two they need; background work takes `files()` only.
// `QtPlatform` bundles the real two; tests use `ScriptedPlatform`.
class Platform {
public:
    Platform(Dialogs& dialogs, Files& files) : dialogs_(dialogs), files_(files) {}
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    Dialogs& dialogs() { return dialogs_; }
    Files& files() { return files_; }

private:
    Dialogs& dialogs_;
    Files& files_;
};

}  // namespace tessera
