// The window program.
#include "ui/MainApp.h"

int main(int argc, char** argv) {
    return lanwick::CMainApp().Run(argc, argv);
}
