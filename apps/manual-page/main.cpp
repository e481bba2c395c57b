// manual_page USAGE-FILE NAME SUMMARY VERSION: the build writes a program's
// manual page from the same text as its --help.
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/usage_text.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: manual_page USAGE-FILE NAME SUMMARY VERSION\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::cerr << "manual_page: cannot read " << argv[1] << '\n';
        return 1;
    }
    std::cout << cw::manualPage(text.str(), argv[2], argv[3], argv[4]);
    return std::cout.good() ? 0 : 1;
}
