#include "QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <cstdio>
#include <cstdlib>

namespace quavix {

namespace {

// With $QUAVIX_DIALOG_LOG set, every box shown is appended there as one line, "title: text"
// (line breaks as " / "), so that end-to-end runs can read what the user was told.
void recordBox(const std::string& title, const std::string& text)
{
    const char* path = std::getenv("QUAVIX_DIALOG_LOG");
    if (!path || !*path)
        return;
    std::string line = title + ": ";
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        line += text[i] == '\n' || text[i] == '\r' ? std::string(" / ") : std::string(1, text[i]);
    }
    line += '\n';
    if (std::FILE* f = std::fopen(path, "ab")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fclose(f);
    }
}

} // namespace

QStringList QtDialogs::toQtFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i].trimmed();
        QStringList patterns;
        // "*.*" means every file where it comes from; here it would only match names with a
        // dot, so extensionless files would not show.
        auto linuxPattern = [](const QString& p) {
            return p == QLatin1String("*.*") ? QStringLiteral("*") : p;
        };
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (!p.trimmed().isEmpty())
                patterns << linuxPattern(p.trimmed());
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        const QString joined = patterns.join(QLatin1Char(' '));
        // "MP3 Files (*.mp3)" already names its patterns: do not say it twice.
        const qsizetype open = name.lastIndexOf(QLatin1Char('('));
        if (name.endsWith(QLatin1Char(')')) && open >= 0) {
            QStringList inner;
            for (const QString& p :
                 name.mid(open + 1, name.size() - open - 2)
                     .split(QRegularExpression(QStringLiteral("[; ]")), Qt::SkipEmptyParts))
                inner << linuxPattern(p);
            if (inner.join(QLatin1Char(' ')) == joined)
                name = name.left(open).trimmed();
        }
        if (name.isEmpty())
            name = joined;
        out << name + QStringLiteral(" (") + joined + QLatin1Char(')');
    }
    return out;
}

MsgAnswer QtDialogs::messageBox(const std::string& title, const std::string& text, MsgIcon icon,
                                MsgButtons buttons)
{
    recordBox(title, text);
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(title));
    // Paragraphs come joined with CR LF; Qt wants plain line feeds.
    box.setText(QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    // Closing a box never ends the program, also while the main window is in the tray.
    box.setAttribute(Qt::WA_QuitOnClose, false);
    const int result = box.exec();
    if (buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    return result == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
}

std::optional<std::string> QtDialogs::fileDialog(const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(request.title));
    const QStringList filters = toQtFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int index = std::clamp(request.filterIndex, 1, static_cast<int>(filters.size()));
        dialog.selectNameFilter(filters[index - 1]);
    }
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (!request.initialName.empty())
        dialog.selectFile(QString::fromStdString(request.initialName));
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setAttribute(Qt::WA_QuitOnClose, false);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return std::nullopt;
    return chosen.first().toStdString();
}

std::optional<std::string> QtDialogs::openFile(const FileDialogRequest& request)
{
    return fileDialog(request, false);
}

std::optional<std::string> QtDialogs::saveFile(const FileDialogRequest& request)
{
    return fileDialog(request, true);
}

} // namespace quavix
