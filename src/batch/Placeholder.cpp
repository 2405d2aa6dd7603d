#include "batch/Placeholder.h"

#include "imaging/ImageCodec.h"

#include <QFont>
#include <QPainter>

namespace tessera {

QImage drawPlaceholder(int row, int column)
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    QPainter painter(&image);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(80);
    font.setWeight(QFont::Normal);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(25, 100, 375, 200), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("我是%1-%2").arg(row).arg(column));
    return image;
}

QByteArray placeholderJpeg(const QImage& placeholder)
{
    return encodeJpeg(placeholder, 90);
}

}  // namespace tessera
