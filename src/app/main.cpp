#include <cstdio>

#include "support/version.h"

int main()
{
    std::printf("m845tool %s\n", m845::ProgramVersionText().c_str());
    return 0;
}
