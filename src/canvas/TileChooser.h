#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QComboBox;
class QFileSystemModel;
class QFileSystemWatcher;
class QTimer;
class QLabel;
class QListWidget;
class QTreeView;

namespace tessera {

class LoaderThreads;

// The tile chooser of the "选择文件" tab: mounted volumes, the folders below the chosen one, the
// JPEG files of the chosen folder, and a preview of the chosen file. The file list follows the folder
// on disk, and a click on the folder lists it again. The preview is read and decoded on `loaders`
// (a read may hang); the newest choice wins, and the box is emptied when its picture is slow.
class TileChooser : public QObject {
    Q_OBJECT

public:
    TileChooser(QComboBox* drives, QTreeView* folders, QListWidget* files, QLabel* preview, LoaderThreads& loaders,
                QObject* parent = nullptr);
    ~TileChooser() override;

    QString currentFolder() const { return folder_; }
    void setCurrentFolder(const QString& folder);
    // Lists the current folder's tile files again; the selected file stays selected.
    void refreshFiles();
    // Chooses the listed file of that name, as a click would.
    void chooseFile(const QString& name);

    // The mounted volumes: the root first, then the home folder, then removable media.
    static QStringList volumes();
    // The names of the *.jpg and *.jpeg files of `folder`, any case, sorted.
    static QStringList tileFilesIn(const QString& folder);

signals:
    // A file was chosen: its path (folder, separator, name).
    void fileChosen(const QString& path);

protected:
    // Watches presses on the file list, to tell a click that made a file current from one on the
    // current file.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void choose(const QString& name);
    void showPreview(const QString& path);
    void previewLoaded(quint64 choice, const QImage& image);
    // The newest choice's number and the way back to this object, shared with the loaders.
    struct PreviewMail;

    QComboBox* drives_;
    QTreeView* folders_;
    QListWidget* files_;
    QLabel* preview_;
    QFileSystemModel* model_;
    QFileSystemWatcher* watcher_;
    QTimer* changed_;  // gathers the changes of a busy folder into one listing
    QTimer* stale_;    // empties the preview box while the newest choice's picture loads
    LoaderThreads& loaders_;
    std::shared_ptr<PreviewMail> mail_;
    QString folder_;
    QString listed_;  // the folder the list shows
    QObject* filesViewport_ = nullptr;
    bool pressing_ = false;         // a mouse button went down on the list and is not up yet
    bool chosenByPress_ = false;    // that press made a file current, which chose it
};

}  // namespace tessera
