#pragma once

// The progress bar of a command run or a firmware transfer.

namespace m845 {

class IProgress
{
public:
    virtual ~IProgress() = default;
    virtual void ShowProgress(int total, int complete) = 0;
    virtual void HideProgress() = 0;
};

} // namespace m845
