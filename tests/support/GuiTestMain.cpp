// The window tests run inside the program's own application, offscreen unless told otherwise, so models,
// widgets, sockets and nested event loops work as they do in the program.
#include "gui/widgets/ErrorReporting.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    vorlith::VorlithApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
