// The window program.
#include "ui/MainApp.h"

#include <QtGlobal>

int main(int argc, char** argv) {
    // The resources live in a static library: without this the linker would drop them.
    Q_INIT_RESOURCE(lanwick);
    return lanwick::CMainApp().Run(argc, argv);
}
