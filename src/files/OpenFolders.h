#pragma once

#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

namespace tessera {

// A path's folder and name as the file system sees them: the text before the last '/' ("." when
// there is none, "/" for the root) and the text after it.
std::pair<QStringView, QStringView> splitPath(QStringView path);

// Folders held open while many files in them are looked at or renamed, so that each name is found
// in its folder and not along its whole path. Holds a few at a time (the oldest goes); one user
// at a time. A folder replaced under its name while held stays the one first found.
class OpenFolders {
public:
    OpenFolders() = default;
    OpenFolders(const OpenFolders&) = delete;
    OpenFolders& operator=(const OpenFolders&) = delete;
    ~OpenFolders();

    // The folder's descriptor; -1 when it cannot be opened.
    int descriptor(QStringView folder);

private:
    struct Held {
        QString text;
        int fd;
    };
    std::vector<Held> held_;
    std::size_t next_ = 0;  // the entry to replace when all are taken
    std::size_t last_ = 0;  // the entry found last
};

}  // namespace tessera
