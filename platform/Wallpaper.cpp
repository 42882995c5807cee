#include "platform/Wallpaper.h"

#include "platform/TRegistry.h"

#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace vexil {

namespace {

void TellDesktop(const std::string &bitmapPath) {
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (gsettings.isEmpty())
        return;
    const QString uri = QUrl::fromLocalFile(QString::fromStdString(bitmapPath)).toString();
    const QString schema = QStringLiteral("org.gnome.desktop.background");
    for (const auto &[key, value] :
         {std::pair{QStringLiteral("picture-uri"), uri},
          {QStringLiteral("picture-uri-dark"), uri},
          {QStringLiteral("picture-options"), QStringLiteral("centered")}})
        QProcess::startDetached(gsettings, {QStringLiteral("set"), schema, key, value});
}

} // namespace

void SetDesktopWallpaper(TRegistry &store, const std::string &bitmapPath) {
    store.SetRootKey(HKEY_CURRENT_USER);
    store.OpenKey("\\Control Panel\\desktop", true);
    store.WriteString("Wallpaper", bitmapPath);
    store.WriteString("TileWallpaper", "0");
    TellDesktop(bitmapPath);
}

} // namespace vexil
