// The program's entry: the Qt application, the Qt panel backend, the resource folder
// beside the executable and the table that binds the resource file's callback names;
// then the operator program itself.
#include "app/main_panel.hpp"
#include "main/callback_table.hpp"
#include "platform/platform.hpp"
#include "platform/qt/qt_panel_backend.hpp"
#include "platform/system_io/system_io.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Trelwick");

    QtPanelBackend panels;
    platform_use_panels(&panels);
    platform_use_system_io();
    platform_set_resource_directory(QCoreApplication::applicationDirPath().toStdString());
    platform_set_callback_table(trelwick_callback_table());

    const int status = WinMain();

    platform_use_panels(nullptr);
    return status;
}
