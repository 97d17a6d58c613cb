#include "ui/Icons.h"

#include <QString>

// The resources live in a static library: they must be registered by hand.
static void InitIconResources() {
    static const bool done = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)done;
}

namespace vimosync {

QIcon OwnIcon(const char* ownName) {
    InitIconResources();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(ownName)));
}

QIcon ThemedIcon(const char* themeName, const char* ownName) {
    const QIcon own = OwnIcon(ownName);
    if (!themeName || !QIcon::hasThemeIcon(QLatin1String(themeName))) {
        return own;
    }
    return QIcon::fromTheme(QLatin1String(themeName), own);
}

QIcon ApplicationIcon() {
    return OwnIcon("vimosync");
}

} // namespace vimosync
