#include "EntryText.h"

#include <QStringDecoder>

namespace quavix {

namespace {
bool isAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}
} // namespace

QString entryText(std::string_view entry)
{
    const auto size = static_cast<qsizetype>(entry.size());
    if (isAscii(entry))
        return QString::fromLatin1(entry.data(), size);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(entry.data(), size));
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(entry.data(), size);
}

std::string entrySortKey(std::string_view entry)
{
    if (isAscii(entry)) {
        std::string key(entry);
        for (char& c : key)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return key;
    }
    return entryText(entry).toCaseFolded().toStdString();
}

} // namespace quavix
