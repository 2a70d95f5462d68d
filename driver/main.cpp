// The detection program on POSIX: the arguments make the command line, as Windows hands it over.
#include "driver/RunDetection.h"

#include <string>

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine += (i > 1 ? " " : "") + std::string(argv[i]);
    }
    return runDetection(commandLine);
}
