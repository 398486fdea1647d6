#include "IconImage.h"

#include "platform/MediaAddress.h"

#include <QAccessibleWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace quavix {

namespace {
// The list's own bytes: the toolkit's URLs turn a name that is not UTF-8 into one with
// replacement characters, a file that does not exist.
std::vector<std::string> localFiles(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    return localFilesFromUriList(data->data(QStringLiteral("text/uri-list")).toStdString());
}
} // namespace

namespace {

class IconAccessible : public QAccessibleWidget {
public:
    explicit IconAccessible(IconImage* icon)
        : QAccessibleWidget(icon, QAccessible::Button, QStringLiteral("Quavix menu"))
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return QStringLiteral("Every command of the program");
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction(), showMenuAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() || action == showMenuAction())
            static_cast<IconImage*>(widget())->requestMenu();
    }
};

} // namespace

void IconImage::installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory([](const QString& className, QObject* object) {
            return className == QLatin1String("quavix::IconImage") && object &&
                           object->isWidgetType()
                       ? static_cast<QAccessibleInterface*>(
                             new IconAccessible(static_cast<IconImage*>(object)))
                       : nullptr;
        });
        return true;
    }();
    (void)installed;
}

IconImage::IconImage(QWidget* parent) : QLabel(parent)
{
    setAcceptDrops(true);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::StrongFocus);
}

void IconImage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            requestMenu();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
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
    if (!localFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

void IconImage::dropEvent(QDropEvent* event)
{
    std::vector<std::string> files = localFiles(event->mimeData());
    if (files.empty())
        return;
    event->acceptProposedAction();
    emit filesDropped(files);
}

} // namespace quavix
