// The server name read from a connection's captured first bytes, for the browser test:
//
//     tessel_server_name http|tls FILE
//
// prints the name and exits 0, or exits 1 when the bytes name none.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "core/ServerName.h"

int main(int argc, char** argv) {
    const std::string_view kind = argc == 3 ? argv[1] : "";
    if (kind != "http" && kind != "tls") {
        std::fprintf(stderr, "usage: %s http|tls FILE\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::string name;
    const bool found = kind == "http" ? tessel::core::hostFromRequest(bytes, name)
                                      : tessel::core::serverNameFromHello(bytes, name);
    if (!found) {
        return 1;
    }
    std::printf("%s\n", name.c_str());
    return 0;
}
