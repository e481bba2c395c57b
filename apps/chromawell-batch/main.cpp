// chromawell-batch SCRIPT | -
#include <QCoreApplication>
#include <iostream>

#include "platform/interrupts.h"
#include "platform/program_scratch.h"
#include "platform/scratch_location_qt.h"
#include "actions/script_runner.h"

int main(int argc, char** argv) {
    cw::removeTemporaryFilesOnInterrupt();  // first, on the main thread
    QCoreApplication app(argc, argv);
    cw::setApplicationIdentity();
    if (argc != 2) {
        std::cerr << "usage: chromawell-batch SCRIPT (or - for standard input)\n";
        return 2;
    }
    const cw::ProgramScratch scratch(cw::scratchFolderLocation());
    return cw::runScriptFile(argv[1], std::cout, std::cerr, scratch.folder());
}
