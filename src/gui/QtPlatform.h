#pragma once

#include "files/LocalFiles.h"
#include "files/Platform.h"
#include "gui/QtDialogs.h"

namespace tessera {

namespace detail {
// Built before the Platform base that refers to them.
struct QtPlatformParts {
    explicit QtPlatformParts(QWidget* dialogParent) : qtDialogs(dialogParent) {}
    QtDialogs qtDialogs;
    LocalFiles localFiles;
};
}  // namespace detail

// The real platform: Qt dialogs over the given parent window and the local file system.
class QtPlatform : private detail::QtPlatformParts, public Platform {
public:
    explicit QtPlatform(QWidget* dialogParent = nullptr)
        : QtPlatformParts(dialogParent), Platform(qtDialogs, localFiles)
    {
    }
    void setDialogParent(QWidget* parent) { qtDialogs.setDialogParent(parent); }
};

}  // namespace tessera
