#pragma once

#include <QObject>
#include <QStringList>

namespace tessera {

// The maps last opened, imported, exported or saved, newest first, kept across runs in a settings
// file of the user's (at most `kKept`). No widgets.
class RecentMaps : public QObject {
    Q_OBJECT

public:
    static constexpr int kKept = 10;

    // Kept in `file`; by default in the user's configuration folder.
    explicit RecentMaps(const QString& file = QString(), QObject* parent = nullptr);

    const QStringList& paths() const { return paths_; }
    // `path` becomes the newest (absolute, once).
    void add(const QString& path);
    void remove(const QString& path);
    void clear();

signals:
    void changed();

private:
    void store();

    QString file_;
    QStringList paths_;
};

}  // namespace tessera
