#include "app/Application.h"
#include "platform/linux/HugePages.h"

int main(int argc, char** argv) {
    tessel::platform::useHugePagesForHeap(argv);
    return tessel::app::run(argc, argv);
}
