// rampart: the command-line host. Everything but the process lives in run().
#include "Commands.h"
#include "TempFile.h"

#include "Platform.h"

int main(int argc, char** argv) {
    // Interrupted, it leaves no half-written file behind.
    rampart::on_termination(&rampart::remove_temporary_files);
    std::vector<std::string> args(argv + 1, argv + argc);
    return rampart::run(args, stdout, stderr);
}
