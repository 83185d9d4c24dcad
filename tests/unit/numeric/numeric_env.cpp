// Start-up for the numeric tests: catalogues in English, the coefficient and vector tables, the
// scheduler with two workers, and a hook that records the texts of reported errors.
#include <cstdlib>

#include "coef/coef_init.h"
#include "interp/kest.h"
#include "interp/idcommon.h"
#include "parallel/parallel_init.h"
#include "parallel/zoduv.h"
#include "numeric/vecnum.h"
#include "numeric/tableau.h"
#include "vecnumtest.h"

std::vector<std::string>& reported_errors()
{
    static std::vector<std::string> s_errors;
    return s_errors;
}

namespace {
void record_error(const char*, int, int, int, int, int, const char* text)
{
    reported_errors().push_back(text ? text : "");
}

class NumericEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("KESTDIR", KEST_BUILD_DIR, 1);
        kst_findkestdir("kest");
        kst_language_init();
        kst_register_languagefile(nullptr, "kest_msg");
        set_language("en", true);
        kst_coef_inittables();
        modenum_init();
        kst_idclass_inittables();   // the operation table the vectors register in
        kst_vecnum_inittables();
        kst_vecnum_registerlanguage();
        kst_tableau_registerlanguage();
        kst_numstorage_register();
        ZODUV_init(KEST_BUILD_DIR "/", KEST_BUILD_DIR "/etc/numa.cfg", 2);
        kst_parallel_init(KEST_BUILD_DIR "/");
        g_stderr = fopen("/dev/null", "w");
        kst_setfunchook_msgerror(kst_hookkey, record_error);
    }
    void TearDown() override { kst_setfunchook_msgerror(kst_hookkey, nullptr); }
};
const auto* const s_env = ::testing::AddGlobalTestEnvironment(new NumericEnvironment);
}  // namespace
