// libFuzzer entry point for the numeric file readers (text and binary).
#include "../frontend/drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    frontend_drive(data, size);
    return 0;
}
