#include <string_view>

#include "app/Application.h"
#include "app/Export.h"
#include "app/StatsCommand.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string_view(argv[1]) == "--export") {
        return tessel::app::exportList(argc, argv);
    }
    if (argc > 1 && std::string_view(argv[1]) == "--stats") {
        return tessel::app::printStatistics(argc, argv);
    }
    return tessel::app::run(argc, argv);
}
