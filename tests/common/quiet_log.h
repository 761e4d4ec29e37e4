#pragma once

// A log that keeps nothing, for code that must have one.

#include <string_view>

#include "core/log.h"

namespace m845::test {

class TQuietLog final : public ILog
{
public:
    void LogRx(std::string_view) override {}
    void LogRxOther(std::string_view) override {}
    void LogTx(std::string_view) override {}
    void LogInfo(std::string_view) override {}
    void LogWarn(std::string_view) override {}
};

} // namespace m845::test
