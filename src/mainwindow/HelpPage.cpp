#include "HelpPage.h"

#include <QDir>
#include <QString>
#include <QUrl>

namespace quavix {

std::string helpPageAddress(const std::string& programDir)
{
    QString path = QDir::cleanPath(QString::fromStdString(programDir) +
                                   QStringLiteral("/../share/quavix/help.html"));
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toStdString();
}

} // namespace quavix
