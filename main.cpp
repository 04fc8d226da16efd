#include <string_view>

#include "app/Application.h"
#include "app/Export.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--export") {
        return tessel::app::exportList(argc, argv);
    }
    return tessel::app::run(argc, argv);
}
