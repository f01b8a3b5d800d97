#pragma once
// A workspace in a temporary program folder, a scripted window and a scripted server.

#include "support/Await.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedUi.h"
#include "workspace/PageFetcher.h"
#include "workspace/Workspace.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace vorlith::test {

// Collects the final body in memory.
struct NullSink final : HttpSink {
    std::string Bytes;
    void Write(std::string_view bytes) override { Bytes.append(bytes); }
    void Clear() override { Bytes.clear(); }
};

class NetTest : public ::testing::Test {
protected:
    NetTest() : ws(ui, folder.path().toStdString()) {}

    std::string Scratch() const { return ws.ProgramFolder + "test.html"; }
    bool ScratchExists() const { return std::filesystem::exists(Scratch()); }

    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Fetches from the scripted server; the page starts non-empty to show that it is replaced.
    bool Fetch(const std::string& target = "/") {
        page = "before";
        return test::FetchNow(ws, server.Url(target), page, ui.OnTurn);
    }

    QTemporaryDir folder;
    ScriptedUi ui;
    Workspace ws;
    ScriptedHttpServer server;
    std::string page;
};

inline constexpr std::string_view kConnectionError =
    "Connection error, check if you are connected and url exists.";
inline constexpr std::string_view kCompleted = "Process completed sucessfull!";
inline constexpr std::string_view kAborted = "Process aborted!";

} // namespace vorlith::test
