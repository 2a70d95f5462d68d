// The floor the store benchmark measures the detection program against: a process that only
// connects to HOST PORT with the program's own socket class, and exits 0 when it got through.
#include "net/ASocket.h"
#include "net/CTCPSocket.h"

#include <cstdlib>
#include <stdexcept>

int main(int argc, char** argv) {
    if (argc != 3) {
        return EXIT_FAILURE;
    }
    startNetwork();
    bool reached = false;
    try {
        CTCPSocket socket(/*closeOnDestroy=*/true);
        reached = socket.connect(argv[1], static_cast<std::uint16_t>(std::atoi(argv[2])));
    } catch (const std::runtime_error&) {
        reached = false;
    }
    stopNetwork();
    return reached ? EXIT_SUCCESS : EXIT_FAILURE;
}
