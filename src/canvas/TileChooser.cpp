#include "canvas/TileChooser.h"

#include "render/TileImages.h"
#include "files/Files.h"
#include "work/LoaderThreads.h"

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMutex>
#include <QStorageInfo>
#include <QEvent>
#include <QTimer>
#include <QTreeView>

#include <atomic>

namespace tessera {

struct TileChooser::PreviewMail {
    QMutex mutex;  // guards `owner`
    TileChooser* owner = nullptr;  // null once the chooser has gone
    std::atomic<quint64> newest{0};

    // On a loader: the picture of choice number `choice`, to the owner unless a newer one came.
    void load(quint64 choice, const QString& path, QSize box);
};

namespace {

// How long the last picture stays in the box while the next one loads.
constexpr int kStalePreviewMs = 200;

// The whole picture, fitted into `box`, decoded as the canvas decodes tiles.
QImage previewImage(const QString& path, QSize box)
{
    const ReadResult file = readShownFile(path, kMaxTileFileBytes);
    QBuffer buffer;
    buffer.setData(file.data);
    buffer.open(QIODevice::ReadOnly);
    const QSize full = QImageReader(&buffer).size();
    if (!file.ok || !full.isValid())
        return {};
    return decodeTileImage(file.data, full.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
}

}  // namespace

void TileChooser::PreviewMail::load(quint64 choice, const QString& path, QSize box)
{
    if (newest != choice)
        return;  // a newer choice came before this one began
    const QImage image = previewImage(path, box);
    const QMutexLocker lock(&mutex);
    if (owner && newest == choice)
        QMetaObject::invokeMethod(owner, [chooser = owner, choice, image] { chooser->previewLoaded(choice, image); },
                                  Qt::QueuedConnection);
}

TileChooser::TileChooser(QComboBox* drives, QTreeView* folders, QListWidget* files, QLabel* preview,
                         LoaderThreads& loaders, QObject* parent)
    : QObject(parent), drives_(drives), folders_(folders), files_(files), preview_(preview),
      model_(new QFileSystemModel(this)), watcher_(new QFileSystemWatcher(this)), changed_(new QTimer(this)),
      stale_(new QTimer(this)), loaders_(loaders), mail_(std::make_shared<PreviewMail>())
{
    mail_->owner = this;
    stale_->setSingleShot(true);
    stale_->setInterval(kStalePreviewMs);
    connect(stale_, &QTimer::timeout, preview_, &QLabel::clear);
    // Hidden folders too: a home folder may hold nothing else.
    model_->setFilter(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Drives | QDir::Hidden);
    model_->setReadOnly(true);
    folders_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column)
        folders_->hideColumn(column);
    folders_->setHeaderHidden(true);

    drives_->addItems(volumes());
    connect(drives_, &QComboBox::currentTextChanged, this, &TileChooser::setCurrentFolder);
    connect(folders_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) {
                    folder_ = QDir::toNativeSeparators(model_->filePath(current));
                    refreshFiles();
                }
            });
    connect(folders_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        folder_ = QDir::toNativeSeparators(model_->filePath(index));
        refreshFiles();
    });
    changed_->setSingleShot(true);
    changed_->setInterval(100);
    connect(changed_, &QTimer::timeout, this, &TileChooser::refreshFiles);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, changed_, qOverload<>(&QTimer::start));
    // A file becoming current (by mouse or keys) is chosen; a click chooses even the file already
    // current, so that it can be placed once more, but a click that made it current chooses once.
    filesViewport_ = files_->viewport();
    filesViewport_->installEventFilter(this);
    connect(files_, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        chosenByPress_ = pressing_;
        choose(name);
    });
    connect(files_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        pressing_ = false;
        if (!std::exchange(chosenByPress_, false))
            choose(item->text());
    });
    setCurrentFolder(drives_->currentText());
}

TileChooser::~TileChooser()
{
    const QMutexLocker lock(&mail_->mutex);
    mail_->owner = nullptr;
}

QStringList TileChooser::volumes()
{
    QStringList result{QDir::toNativeSeparators(QDir::rootPath()), QDir::toNativeSeparators(QDir::homePath())};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::toNativeSeparators(volume.rootPath());
        const bool removable = root.startsWith(QStringLiteral("/media/")) || root.startsWith(QStringLiteral("/mnt/"))
            || root.startsWith(QStringLiteral("/run/media/"));
        if (volume.isValid() && volume.isReady() && removable && !result.contains(root))
            result << root;
    }
    result.removeDuplicates();
    return result;
}

QStringList TileChooser::tileFilesIn(const QString& folder)
{
    QDir dir(folder);
    dir.setNameFilters({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")});
    dir.setFilter(QDir::Files | QDir::Readable | QDir::Hidden);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    return dir.entryList();  // name filters match any case
}

void TileChooser::setCurrentFolder(const QString& folder)
{
    if (folder.isEmpty())
        return;
    folder_ = QDir::toNativeSeparators(folder);
    const QModelIndex root = model_->setRootPath(folder);
    folders_->setRootIndex(root);
    refreshFiles();
}

void TileChooser::refreshFiles()
{
    if (watcher_->directories() != QStringList{folder_}) {
        if (!watcher_->directories().isEmpty())
            watcher_->removePaths(watcher_->directories());
        watcher_->addPath(folder_);
    }
    const QString selected = listed_ == folder_ && files_->currentItem() ? files_->currentItem()->text() : QString();
    listed_ = folder_;
    const QSignalBlocker quiet(files_);
    files_->clear();
    files_->addItems(tileFilesIn(folder_));
    if (const QList<QListWidgetItem*> found = files_->findItems(selected, Qt::MatchExactly); !selected.isEmpty() && !found.isEmpty())
        files_->setCurrentItem(found.constFirst());
}

bool TileChooser::eventFilter(QObject* watched, QEvent* event)
{
    // Only the pointer is compared: events still come while the list is being destroyed.
    if (event->type() == QEvent::MouseButtonPress && watched == filesViewport_) {
        pressing_ = true;
        chosenByPress_ = false;
    }
    return QObject::eventFilter(watched, event);
}

void TileChooser::chooseFile(const QString& name)
{
    const QList<QListWidgetItem*> found = files_->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return;
    const QSignalBlocker quiet(files_);
    files_->setCurrentItem(found.constFirst());
    choose(name);
}

void TileChooser::choose(const QString& name)
{
    if (name.isEmpty())
        return;
    const QString path = joinFolder(folder_, name);
    showPreview(path);
    emit fileChosen(path);
}

void TileChooser::showPreview(const QString& path)
{
    const quint64 choice = ++mail_->newest;
    stale_->start();
    loaders_.start([mail = mail_, choice, path, box = preview_->size()] { mail->load(choice, path, box); });
}

void TileChooser::previewLoaded(quint64 choice, const QImage& image)
{
    if (choice != mail_->newest)
        return;
    stale_->stop();
    preview_->setPixmap(QPixmap::fromImage(image));
}

}  // namespace tessera
