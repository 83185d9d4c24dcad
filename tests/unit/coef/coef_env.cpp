// Start-up of the coefficient tables for the whole test program, before any test runs.
#include "coef/coef_init.h"
#include "coeftest.h"

namespace {
class CoefEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        kst_coef_inittables();
        modenum_init();
    }
    void TearDown() override { kst_coef_reset(); }
};
const auto* const s_env = ::testing::AddGlobalTestEnvironment(new CoefEnvironment);
}  // namespace
