// Saves pictures of the main and test panels as they open, as the Qt backend shows them
// from the project's resource file: panel_screenshots <output folder>. (The parameters
// panel, which shows values only once bring-up has set them, is session_screenshots'.)
// scripts/screenshots.sh runs it under a virtual X server.
#include "app/shell/panel_ids.hpp"
#include "main/callback_table.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_panel_backend.hpp"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cstdio>

namespace {

bool save(QtPanelBackend& panels, int handle, const QDir& folder, const char* name) {
    QWidget* window = panels.panel_window(handle);
    if (window == nullptr)
        return false;
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const QString path = folder.filePath(name);
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), window->width(), window->height());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    QtPanelBackend panels;
    platform_use_panels(&panels);
    platform_set_resource_directory(TRELWICK_UI_DIR);
    platform_set_callback_table(trelwick_callback_table());

    const struct {
        int resource;
        int parent;
        const char* file;
    } shots[] = {{MAIN_PANEL, 0, "main_panel.png"}, {TEST_PANEL, 0, "test_panel.png"}};
    int status = 0;
    for (const auto& shot : shots) {
        const int handle = LoadPanel(shot.parent, "Trelwick.uir", shot.resource);
        if (handle < 0 || DisplayPanel(handle) < 0 || !save(panels, handle, folder, shot.file))
            status = 1;
    }
    platform_use_panels(nullptr);
    return status;
}
