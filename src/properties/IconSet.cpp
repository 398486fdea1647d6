#include "IconSet.h"

#include "properties/IconRaster.h"
#include "startup/Globals.h"

#include <QFileInfo>
#include <QImageReader>
#include <cstddef>

// The resources live in a static library: make sure the linker keeps them.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace quavix {

namespace {
const char* const Names[IconSet::Count] = {
    "note",       "notes",     "speaker",    "wave", "record",   "disc",
    "headphones", "equaliser", "microphone", "play", "cassette", "broadcast",
    "note",       "notes",     "speaker",    "wave", "record",   "disc",
    "headphones", "equaliser", "microphone", "play", "cassette", "broadcast"};

int valid(int i)
{
    return (i >= 0 && i < IconSet::Count) ? i : 0;
}
} // namespace

QString IconSet::resourcePath(int i)
{
    static const bool initialised = (initIconResources(), true);
    (void)initialised;
    i = valid(i);
    return QStringLiteral(":/icons/icon%1-%2.svg")
        .arg(i, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(Names[i]));
}

QPixmap IconSet::pixmap(int i, int size)
{
    i = valid(i);
    if (size == IconRaster::Size && i < IconRaster::Count) {
        const std::ptrdiff_t pixels = std::ptrdiff_t{IconRaster::Size} * IconRaster::Size;
        const QImage drawn(reinterpret_cast<const uchar*>(IconRaster::Pixels + i * pixels),
                           IconRaster::Size, IconRaster::Size, QImage::Format_ARGB32_Premultiplied);
        return QPixmap::fromImage(drawn);
    }
    QImageReader reader(resourcePath(i));
    reader.setScaledSize(QSize(size, size));
    return QPixmap::fromImage(reader.read());
}

QIcon IconSet::icon(int i)
{
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48, 64})
        icon.addPixmap(pixmap(i, size));
    return icon;
}

QIcon IconSet::chosenIcon(int i, OptionsStore& store)
{
    return chosenIcon(i, store, 0);
}

QIcon IconSet::chosenIcon(int i, OptionsStore& store, int onlySize)
{
    i = valid(i);
    std::string custom = store.get(ProgramTitle, "Icons", std::to_string(i), "<none>");
    if (custom != "<none>") {
        QString path = QString::fromStdString(custom);
        if (QFileInfo(path).isFile()) {
            QIcon picture = loadPicture(path);
            if (usableAsWindowIcon(picture))
                return picture;
        }
    }
    return onlySize > 0 ? QIcon(pixmap(i, onlySize)) : icon(i);
}

QIcon IconSet::loadPicture(const QString& path)
{
    QImageReader reader(path);
    // A picture saved under the wrong extension still loads.
    reader.setDecideFormatFromContent(true);
    QIcon picture;
    do {
        QImage image = reader.read();
        if (image.isNull())
            break;
        picture.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    return picture;
}

bool IconSet::usableAsWindowIcon(const QIcon& icon)
{
    if (icon.isNull())
        return false;
    for (const QSize& size : icon.availableSizes())
        if (!size.isEmpty())
            return true;
    return false;
}

} // namespace quavix
