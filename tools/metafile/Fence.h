#pragma once
// The helper fences itself in before it decodes: whatever the decoders are made to do, they can
// read fonts and little else, and can neither write, remove nor rename files, start programs or
// open sockets. Standard input and output, already open, stay usable.

#include <string>
#include <vector>

namespace vorlith::metafile {

struct FenceReport {
    bool Seccomp = false;     // the system-call filter is in force
    int LandlockAbi = 0;      // the kernel's Landlock ABI, 0 when it offers none
    bool Landlock = false;    // reads are limited to the folders below
    std::string Problem;      // why a part is missing, empty when all is in force
};

// The Landlock ABI the kernel offers; 0 for none. Only asks.
int LandlockAbi();

// Where the decoders find their fonts and font configuration, as far as they exist.
std::vector<std::string> FontFolders();

// Limits reads to readable (and, for Qt's plugins, loadable) folders, then filters system calls.
// The caller decides whether a missing part is fatal; a filter that cannot be loaded is.
FenceReport FenceIn(const std::vector<std::string>& readable);

} // namespace vorlith::metafile
