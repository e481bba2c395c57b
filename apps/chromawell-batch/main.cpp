// chromawell-batch SCRIPT | -
#include <QCoreApplication>
#include <fstream>
#include <iostream>

#include "batch.h"
#include "platform/interrupts.h"
#include "platform/program_scratch.h"
#include "platform/scratch_location_qt.h"

int main(int argc, char** argv) {
    cw::removeTemporaryFilesOnInterrupt();  // first, on the main thread
    QCoreApplication app(argc, argv);
    cw::setApplicationIdentity();
    if (argc != 2) {
        std::cerr << "usage: chromawell-batch SCRIPT (or - for standard input)\n";
        return 2;
    }
    const std::string script = argv[1];
    const cw::ProgramScratch scratch(cw::scratchFolderLocation());
    if (script == "-") return cw::runScript(std::cin, std::cout, std::cerr, scratch.folder());
    std::ifstream in(script);
    if (!in) {
        std::cerr << "cannot read " << script << '\n';
        return 2;
    }
    return cw::runScript(in, std::cout, std::cerr, scratch.folder());
}
