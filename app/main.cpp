#include "app/application_main.h"

int main(int argc, char** argv) {
    return app::applicationMain(argc, argv);
}
