#include "app/application.h"

int main(int argc, char** argv) {
    tirelle::app::Application application(argc, argv);
    tirelle::app::prepareProcess();
    tirelle::app::installQtTranslations();
    return tirelle::app::runProgram();
}
