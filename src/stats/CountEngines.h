#pragma once
// The engines behind the three count columns: the built-in ones, or the [Count N] entries of
// sources.ini that replace them. Each builds the request for a keyword and reads a page into a
// count or a failure reason, so that any loop (sequential or parallel) can drive it.

#include "stats/SearchEngineTable.h"
#include "workspace/Sources.h"

#include <string>
#include <string_view>

namespace vorlith {

class CountEngine {
public:
    CountEngine(const SearchEngine& builtin, const SourceEntry& entry, const Endpoints& endpoints)
        : builtin_(builtin), entry_(entry), endpoints_(endpoints) {}

    const SourceEntry& Entry() const { return entry_; }
    Column Target() const { return builtin_.Target; }
    // The built-in engine: its request, its cuts, no pause, no retry, no block.
    bool Builtin() const { return !entry_.Polite(); }

    // wrap is "%22" in precise mode, empty in broad mode.
    std::string Address(std::string_view keyword, std::string_view wrap) const;

    struct Reading {
        bool Ok = false;
        std::string Count;  // the cell's text when Ok
        std::string Reason; // why not
    };
    // The built-in engines keep their cuts, whatever the page holds; the file's engines take the
    // first number of their cut, and a page without one is a failure.
    Reading Read(std::string_view page) const;

private:
    const SearchEngine& builtin_;
    const SourceEntry& entry_;
    const Endpoints& endpoints_;
};

// The engine of column i (0 Google, 1 Yahoo, 2 Msn) as the sources make it.
CountEngine CountEngineFor(const SourcesList& sources, const Endpoints& endpoints, std::size_t i);

} // namespace vorlith
