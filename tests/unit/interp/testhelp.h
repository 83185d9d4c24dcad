// Shared by the interpreter's unit tests: run a step with the error display silenced.
#pragma once
#include "interp/error.h"

#include <gtest/gtest.h>

// Runs f with standard error captured; true when it reported an error (the flag is cleared).
template <class F> bool reportserror(F f)
{
    Erreur_Execution = 0;
    testing::internal::CaptureStderr();
    f();
    testing::internal::GetCapturedStderr();
    bool e = Erreur_Execution != 0;
    Erreur_Execution = 0;
    return e;
}
