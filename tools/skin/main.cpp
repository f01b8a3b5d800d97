// vorlith-skin: packs a Qt style sheet into a skin file, or unpacks one to check it.
//   vorlith-skin pack in.qss out.dat
//   vorlith-skin unpack in.dat out.qss
#include "branding/SkinFile.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

std::string ReadAll(const char* file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot open ") + file + ": " + std::strerror(errno));
    std::string bytes;
    char block[16384];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        bytes.append(block, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        throw std::runtime_error(std::string("cannot read ") + file);
    return bytes;
}

void WriteAll(const char* file, const std::string& bytes) {
    // Written beside the target and renamed, so a failed run leaves no half-written skin.
    const std::string temporary = std::string(file) + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error(std::string("cannot create ") + temporary + ": " + std::strerror(errno));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            throw std::runtime_error(std::string("cannot write ") + temporary);
        }
    }
    if (std::rename(temporary.c_str(), file) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error(std::string("cannot rename to ") + file + ": " + std::strerror(errno));
    }
}

int Usage() {
    std::cerr << "usage: vorlith-skin pack in.qss out.dat\n"
                 "       vorlith-skin unpack in.dat out.qss\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4)
        return Usage();
    try {
        if (std::strcmp(argv[1], "pack") == 0) {
            const std::string styleSheet = ReadAll(argv[2]);
            if (styleSheet.size() > vorlith::MaxSkinStyleSheetSize)
                throw std::runtime_error("the style sheet is too large");
            WriteAll(argv[3], vorlith::PackSkin(styleSheet));
            return 0;
        }
        if (std::strcmp(argv[1], "unpack") == 0) {
            const auto styleSheet = vorlith::UnpackSkin(ReadAll(argv[2]));
            if (!styleSheet)
                throw std::runtime_error(std::string(argv[2]) + " holds no skin");
            WriteAll(argv[3], *styleSheet);
            return 0;
        }
        return Usage();
    } catch (const std::exception& error) {
        std::cerr << "vorlith-skin: " << error.what() << "\n";
        return 1;
    }
}
