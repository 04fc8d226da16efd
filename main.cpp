#include "app/Application.h"

int main(int argc, char** argv) {
    return tessel::app::run(argc, argv);
}
