#pragma once

#include "files/Files.h"
#include "files/Dialogs.h"

namespace tessera {

// What the windows and commands of the app hold: the dialogs (GUI thread) and the files (any
// thread) as one object, each call passed on to one of the two. Background work takes `files()`,
// never the pair. `QtPlatform` bundles the real two; tests use `ScriptedPlatform`.
class Platform : public Dialogs, public Files {
public:
    Platform(Dialogs& dialogs, Files& files) : dialogs_(dialogs), files_(files) {}
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    Dialogs& dialogs() { return dialogs_; }
    Files& files() { return files_; }

    MessageResult messageBox(const QString& text, MessageButtons buttons, const QString& title = kDefaultMessageTitle,
                             const QString& informative = QString()) override
    {
        return dialogs_.messageBox(text, buttons, title, informative);
    }
    std::optional<QString> inputBox(const QString& prompt, const QString& title, const QString& initial) override
    {
        return dialogs_.inputBox(prompt, title, initial);
    }
    std::optional<int> chooseItem(const QString& prompt, const QString& title, const QStringList& items,
                                  int current) override
    {
        return dialogs_.chooseItem(prompt, title, items, current);
    }
    std::optional<std::pair<int, int>> inputTwoNumbers(const QString& prompt, const QString& title,
                                                       const QStringList& labels, std::pair<int, int> initial,
                                                       int maximum) override
    {
        return dialogs_.inputTwoNumbers(prompt, title, labels, initial, maximum);
    }
    std::optional<std::pair<int, int>> chooseRow(const QString& prompt, const QString& title, const QStringList& columns,
                                                 const QList<QStringList>& rows, const QStringList& actions) override
    {
        return dialogs_.chooseRow(prompt, title, columns, rows, actions);
    }
    std::optional<QString> openFileDialog(const FileDialogOptions& options) override
    {
        return dialogs_.openFileDialog(options);
    }
    std::optional<QString> saveFileDialog(const FileDialogOptions& options) override
    {
        return dialogs_.saveFileDialog(options);
    }
    QString browseFolder(const QString& title) override { return dialogs_.browseFolder(title); }
    std::optional<SliceChoices> sliceDialog(const QString& picture, QSize size, const SliceChoices& initial,
                                            int minSide, int maxSide) override
    {
        return dialogs_.sliceDialog(picture, size, initial, minSide, maxSide);
    }

    bool exists(const QString& pathOrPattern) override { return files_.exists(pathOrPattern); }
    ReadResult readFile(const QString& path, qint64 maxBytes = std::numeric_limits<qint64>::max()) override
    {
        return files_.readFile(path, maxBytes);
    }
    bool isFile(const QString& path) override { return files_.isFile(path); }
    ReadResult readHead(const QString& path, int count) override { return files_.readHead(path, count); }
    FileResult writeFileAtomic(const QString& path, const QByteArray& data, const QStringList& inputs = {}) override
    {
        return files_.writeFileAtomic(path, data, inputs);
    }
    FileResult renameFile(const QString& from, const QString& to) override { return files_.renameFile(from, to); }
    FileResult renameIn(OpenFolders& folders, const QString& from, const QString& to) override
    {
        return files_.renameIn(folders, from, to);
    }
    FileResult moveFile(const QString& from, const QString& to) override { return files_.moveFile(from, to); }
    FileResult copyFile(const QString& from, const QString& to) override { return files_.copyFile(from, to); }
    FileResult writeNewFile(const QString& path, const QByteArray& data) override
    {
        return files_.writeNewFile(path, data);
    }
    FileResult removeFile(const QString& path) override { return files_.removeFile(path); }
    FileStatus fileStatus(const QString& path) override { return files_.fileStatus(path); }
    void lookAt(std::span<const QString> paths, std::span<FileLook> looks) override { files_.lookAt(paths, looks); }
    void readHeads(std::span<const QString> paths, std::span<FileLook> looks) override { files_.readHeads(paths, looks); }
    QString realFolder(const QString& folder) override { return files_.realFolder(folder); }
    QStringList fileNames(const QString& folder) override { return files_.fileNames(folder); }

private:
    Dialogs& dialogs_;
    Files& files_;
};

}  // namespace tessera
