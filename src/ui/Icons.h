#pragma once

// Icons of the tool bars and menus: the system icon theme's icon of the name where the
// theme has one, our own drawing from the resources otherwise, so that no button is
// ever empty.

#include <QIcon>

namespace vimosync {

// themeName: a freedesktop.org icon name (may be null); ownName: the base name of one of
// our icons (":/icons/<ownName>.svg").
QIcon ThemedIcon(const char* themeName, const char* ownName);
// Our own drawing only.
QIcon OwnIcon(const char* ownName);
// The application's icon.
QIcon ApplicationIcon();

} // namespace vimosync
