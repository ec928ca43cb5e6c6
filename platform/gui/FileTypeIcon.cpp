#include "platform/gui/FileTypeIcon.h"

#include <QFile>
#include <QMimeDatabase>
#include <QStringList>

namespace platform {

namespace {
constexpr int kSmallIconSize = 16;

QIcon themed(const QString& name) { return QIcon::fromTheme(name); }
}  // namespace

void ensureIconTheme() {
    static bool done = false;
    if (done) return;
    done = true;
    QStringList paths = QIcon::themeSearchPaths();
    if (!paths.contains(QStringLiteral("/usr/share/icons")))
        paths.append(QStringLiteral("/usr/share/icons"));
    QIcon::setThemeSearchPaths(paths);
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
}

QIcon genericFileIcon() {
    ensureIconTheme();
    QIcon icon = themed(QStringLiteral("text-x-generic"));
    if (icon.isNull()) icon = themed(QStringLiteral("application-x-generic"));
    return icon;
}

QIcon fileTypeSmallIcon(const std::string& folder, const std::string& fileName) {
    ensureIconTheme();
    if (fileName.empty() || fileName.find('/') != std::string::npos ||
        fileName.find('\0') != std::string::npos)
        return genericFileIcon();
    QString dir = QString::fromUtf8(folder);
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    const QString path = dir + QString::fromUtf8(fileName);

    // Remove first and create exclusively: a planted link must not make us
    // truncate somebody else's file.
    QFile::remove(path);
    QFile file(path);
    const bool created = file.open(QIODevice::WriteOnly | QIODevice::NewOnly);

    QMimeDatabase db;
    const QMimeType mime = db.mimeTypeForFile(path, QMimeDatabase::MatchDefault);
    QIcon icon = themed(mime.iconName());
    if (icon.isNull()) icon = themed(mime.genericIconName());
    if (icon.isNull()) icon = genericFileIcon();

    if (created) {
        file.close();
        QFile::remove(path);
    }
    // Keep only the small size, as the list shows it.
    QIcon small;
    small.addPixmap(icon.pixmap(kSmallIconSize, kSmallIconSize));
    return small;
}

}  // namespace platform
