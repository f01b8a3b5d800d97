#pragma once
// A WorkspaceUi that shows nothing and answers every question with Cancel (OK for a message): the
// benchmarks derive from it and override only what they measure.

#include "workspace/WorkspaceUi.h"

namespace vorlith::bench {

class NullUi : public WorkspaceUi {
public:
    int ShowMessage(MessageKind, std::string_view, MessageButtons) override { return mrOk; }
};

} // namespace vorlith::bench
