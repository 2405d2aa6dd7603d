#include "document/RecentMaps.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tessera {
namespace {

const QString kKey = QStringLiteral("recentMaps");

}  // namespace

RecentMaps::RecentMaps(const QString& file, QObject* parent) : QObject(parent), file_(file)
{
    if (file_.isEmpty())
        file_ = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/recent-maps.ini");
    const QSettings settings(file_, QSettings::IniFormat);
    for (const QString& path : settings.value(kKey).toStringList())
        if (!path.isEmpty() && !paths_.contains(path) && paths_.size() < kKept)
            paths_ << path;
}

void RecentMaps::add(const QString& path)
{
    const QString absolute = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    paths_.removeAll(absolute);
    paths_.prepend(absolute);
    while (paths_.size() > kKept)
        paths_.removeLast();
    store();
}

void RecentMaps::remove(const QString& path)
{
    if (paths_.removeAll(path) > 0)
        store();
}

void RecentMaps::clear()
{
    paths_.clear();
    store();
}

void RecentMaps::store()
{
    QSettings settings(file_, QSettings::IniFormat);
    settings.setValue(kKey, paths_);
    settings.sync();
    emit changed();
}

}  // namespace tessera
