#pragma once
// The program's 24 built-in icons (our own drawings, kept as resources) and the picture in
// use for each icon choice.
#include "platform/OptionsStore.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace quavix {

class IconSet {
public:
    static constexpr int Count = 24;
    static int count() { return Count; }
    // Resource path of built-in icon i (0 .. Count-1); an index outside gives icon 0.
    static QString resourcePath(int i);
    // Built-in icon i drawn at size x size logical pixels (sharp at every size).
    static QPixmap pixmap(int i, int size);
    // Built-in icon i at the usual sizes from 16 to 64 pixels.
    static QIcon icon(int i);
    // The picture of icon choice i: the custom picture stored in section "Icons", key i,
    // when that is not "<none>", names an existing file and loads; else built-in icon i.
    static QIcon chosenIcon(int i, OptionsStore& store);
    // The same with a built-in icon drawn at one size only (size x size pixels): what the
    // strip shows before the other sizes are needed.
    static QIcon chosenIcon(int i, OptionsStore& store, int onlySize);
    // A picture file (.ico with all its sizes, or any format the image plugins read) as an
    // icon; a null icon when the file cannot be read as a picture.
    static QIcon loadPicture(const QString& path);
    // Whether icon can serve as a window icon: it holds at least one non-empty picture.
    static bool usableAsWindowIcon(const QIcon& icon);
};

} // namespace quavix
