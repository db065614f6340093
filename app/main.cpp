#include <cstdio>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/DataFolder.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--version") {
            std::printf("quorix %s\n", plat::Bundle::main().infoValue("CFBundleShortVersionString").c_str());
            return 0;
        }
    }
    std::printf("%s\n", plat::DataFolder::root().c_str());
    return 0;
}
