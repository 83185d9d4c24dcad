// Empty placeholders for the rooms that are not built yet (weak: a room's own definition wins).
#include "interp/rooms.h"

__attribute__((weak)) void kst_modpoly_init() {}
__attribute__((weak)) void kst_series_resetblocktables() {}
__attribute__((weak)) void kst_series_init_multables() {}
__attribute__((weak)) void kst_coef_inittables() {}
__attribute__((weak)) void kst_vecnum_inittables() {}
__attribute__((weak)) void kst_random_init() {}
__attribute__((weak)) void kst_rational_init() {}
__attribute__((weak)) void modenum_init() {}
__attribute__((weak)) void kst_extsession_init() {}
__attribute__((weak)) void kst_series_meminit() {}
__attribute__((weak)) void kst_extern_init() {}
__attribute__((weak)) void kst_plot_init() {}
__attribute__((weak)) void kst_env_init() {}
__attribute__((weak)) void kst_integnum_init() {}
__attribute__((weak)) void kst_elliptic_init() {}
__attribute__((weak)) void kst_smallparam_create(t_cctx*) {}
__attribute__((weak)) void kst_divsimplify_init() {}
__attribute__((weak)) void kst_scscp_cd_init() {}
__attribute__((weak)) void kst_dynload_init() {}
__attribute__((weak)) void kst_loadsharedlibraries(const char*) {}
__attribute__((weak)) void kst_scscp_runserver() {}
__attribute__((weak)) void kst_series_memreset() {}
__attribute__((weak)) void kst_homog_reset() {}
__attribute__((weak)) void kst_divsimplify_reset() {}
__attribute__((weak)) void kst_plot_reset() {}
__attribute__((weak)) void kst_tronc_deleteall() {}
__attribute__((weak)) void kst_elliptic_reset() {}
__attribute__((weak)) void kst_env_clear() {}
__attribute__((weak)) void kst_extsession_endall() {}
__attribute__((weak)) void kst_coef_reset() {}
__attribute__((weak)) void kst_extern_reset() {}
__attribute__((weak)) void kst_plot_exit() {}
__attribute__((weak)) void kst_series_memrelease() {}

