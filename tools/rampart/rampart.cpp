// rampart: the command-line host. Everything but the process lives in run().
#include "Commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return rampart::run(args, stdout, stderr);
}
