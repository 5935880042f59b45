// kestrel-cli-manual TEMPLATE OUT: writes kestrel-cli's manual page, the template's hand-written parts with the
// sections made from the declarations of the commands. The build runs it; it is not installed.
#include "cli/manual.h"
#include "common/atomic_file.h"

#include <fstream>
#include <iostream>
#include <iterator>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: kestrel-cli-manual TEMPLATE OUT\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::cerr << argv[1] << ": cannot read\n";
        return 2;
    }
    common::AtomicFile out(argv[2]);
    out.write(cli::manual_page(page));
    if (!out.commit()) {
        std::cerr << argv[2] << ": " << out.error_text() << '\n';
        return 2;
    }
    return 0;
}
