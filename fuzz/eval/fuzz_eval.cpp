// libFuzzer entry point for the whole kernel: parse and evaluate.
#include "../frontend/drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    frontend_drive(data, size);
    return 0;
}
