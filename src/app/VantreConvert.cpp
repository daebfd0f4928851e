// vantre-convert: converts files to a catalog format without the desktop program.

#include "ConvertCommand.h"
#include "GlobalObject.h"
#include "MainThread.h"

#include <iostream>

int main(int argc, char** argv) {
    TMainThread::Claim();
    const std::vector<std::string> args(argv + 1, argv + argc);
    TGlobalObject global;
    TConvertCommand command(global, std::cout, std::cerr);
    return command.Run(args);
}
