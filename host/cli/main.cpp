// veldune-host: the reference host program.
#include <iostream>

#include "host/cli/host_main.h"
#include "host/cli/platform.h"

int main(int argc, char** argv) {
    session::Console console;
    console.in = &std::cin;
    console.out = &std::cout;
    console.err = &std::cerr;
    console.terminal = cli::StdinIsTerminal();
    console.screen = console.terminal && cli::StdoutIsTerminal();
    return cli::HostMain(argc, argv, console);
}
