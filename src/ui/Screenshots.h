#pragma once

// A guided run of the window for pictures of it: analyses two directories, shows a
// contact with differences on each page, opens the settings dialog, and saves each
// view as a PNG file. Started by the desktop program when VIMOSYNC_SCREENSHOT_DIR
// names a folder (VIMOSYNC_SCREENSHOT_SRC and VIMOSYNC_SCREENSHOT_DST name the
// directories); every question is answered with its default.

#include <QString>

namespace vimosync {

class TForm1;

// Schedules the run on the event loop; the application quits at its end.
void StartScreenshotTour(TForm1& form, const QString& outDir, const QString& srcDir,
                         const QString& dstDir);

} // namespace vimosync
