#include "IconImage.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace quavix {

namespace {
QStringList localFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}
} // namespace

IconImage::IconImage(QWidget* parent) : QLabel(parent)
{
    setAcceptDrops(true);
    setAlignment(Qt::AlignCenter);
}

void IconImage::setIcon(const QIcon& icon)
{
    m_icon = icon;
    refresh();
}

void IconImage::refresh()
{
    if (m_icon.isNull() || width() <= 0 || height() <= 0) {
        clear();
        return;
    }
    // The picture fills the square, whatever sizes the icon holds.
    QPixmap pm = m_icon.pixmap(size(), devicePixelRatioF());
    if (pm.deviceIndependentSize() != QSizeF(size()))
        pm = pm.scaled(size() * devicePixelRatioF(), Qt::IgnoreAspectRatio,
                       Qt::SmoothTransformation);
    pm.setDevicePixelRatio(devicePixelRatioF());
    setPixmap(pm);
}

void IconImage::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    refresh();
}

void IconImage::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(event->button(), event->globalPosition().toPoint());
    event->accept();
}

void IconImage::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void IconImage::dropEvent(QDropEvent* event)
{
    QStringList files = localFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    emit filesDropped(files);
}

} // namespace quavix
