// The reference picture's box.
#include "app/MapPictureBox.h"

#include "app/AutoAssemblyCommand.h"
#include "app/MainLayout.h"
#include "app/Texts.h"
#include "files/Dialogs.h"
#include "imaging/ImageCodec.h"

#include <QLabel>
#include <QMouseEvent>

namespace tessera {

MapPictureBox::MapPictureBox(QLabel* box, QWidget* onTop, const QWidget* lowerPanel, Dialogs& dialogs)
    : QObject(box), box_(box), onTop_(onTop), lowerPanel_(lowerPanel), dialogs_(dialogs)
{
    box_->installEventFilter(this);
    refresh();
}

void MapPictureBox::load()
{
    if (const std::optional<QString> path = dialogs_.openFileDialog(mapPictureDialog()))
        show(*path);
}

void MapPictureBox::show(const QString& path)
{
    // Only the corner the box can show is decoded, however large the file.
    corner_ = readPictureCorner(path, kEnlargedMapPicture);
    path_ = corner_.isNull() ? QString() : path;
    refresh();
}

bool MapPictureBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == box_ && event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        toggle();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void MapPictureBox::toggle()
{
    box_->setGeometry(toggledMapPicture(box_->geometry(), box_->parentWidget()->size(), lowerPanel_->geometry()));
    box_->raise();
    onTop_->raise();
    refresh();
}

void MapPictureBox::refresh()
{
    if (corner_.isNull()) {
        box_->setAlignment(Qt::AlignCenter);
        box_->setText(texts::kNoMapPicture);
        return;
    }
    box_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box_->setPixmap(QPixmap::fromImage(corner_.copy(QRect(QPoint(0, 0), box_->size()).intersected(corner_.rect()))));
}

}  // namespace tessera
