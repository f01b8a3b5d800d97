#include "platform/ProgramInfo.h"

namespace vorlith {

std::string_view ProgramVersion() {
    return VORLITH_VERSION;
}

std::string VersionText(std::string_view program) {
    return std::string(program) + " " + std::string(ProgramVersion()) + "\n";
}

} // namespace vorlith
