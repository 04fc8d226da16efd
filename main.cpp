#include <string_view>

#include "app/Application.h"
#include "app/Export.h"
#include "platform/linux/HugePages.h"

int main(int argc, char** argv) {
    tessel::platform::useHugePagesForHeap(argv);
    if (argc > 1 && std::string_view(argv[1]) == "--export") {
        return tessel::app::exportList(argc, argv);
    }
    return tessel::app::run(argc, argv);
}
