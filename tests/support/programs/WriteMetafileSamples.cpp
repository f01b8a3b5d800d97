// vorlith-metafile-samples FOLDER: writes banner.wmf and banner.emf, the sample banners the tests
// build, for the demo, the screenshots and the fuzz seeds.
#include "support/MetafileWriter.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorlith-metafile-samples FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    for (const auto& [name, bytes] : {std::pair{"banner.wmf", vorlith::test::SampleWmf()},
                                      std::pair{"banner.emf", vorlith::test::SampleEmf()}}) {
        std::ofstream out(folder + name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "cannot write %s%s\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}
