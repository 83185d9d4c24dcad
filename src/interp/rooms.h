// The start-up, reset and shutdown calls the session makes into every room, in one place.
// Rooms that are not built yet are served by empty placeholders (rooms_pending.cpp) that the
// room's own definitions replace at link time.
#pragma once

#include "parallel/parallel_init.h"

class t_cctx;

// Start-up, in the order kest_init calls them.
void kst_modpoly_init();                       // small modular polynomial library
void kst_series_resetblocktables();            // 128-entry block-size and constant tables
void kst_series_init_multables();
void kst_coef_inittables();
void kst_tree_init_statements();
void kst_idclass_inittables();
void kst_vecnum_inittables();
void kst_random_init();
void kst_rational_init();
void modenum_init();
void kst_extsession_init();
void kst_series_meminit();
void kst_extern_init();
void kst_plot_init();
void kst_env_init();
void kst_integnum_init();
void kst_elliptic_init();
void kst_smallparam_create(t_cctx* ctx);
void kst_divsimplify_init();
void kst_scscp_cd_init();
void kst_dynload_init();
void kst_loadsharedlibraries(const char* dir);
void kst_libstl_load(const char* dir);
void kst_libstl_runstartuphooks();
void kst_scscp_runserver();

// Reset, in the order kst_reset_reloadstl calls them.
void kst_series_memreset();
void kst_homog_reset();
void kst_divsimplify_reset();
void kst_plot_reset();
void kst_tronc_deleteall();
void kst_elliptic_reset();
void kst_macro_deleteall();
void kst_libstl_unload();
void kst_env_clear();
void kst_extsession_endall();
void kst_coef_reset();
void kst_extern_reset();
void kst_types_reset();
void kst_idclass_reset();

// Shutdown.
void kst_plot_exit();
void kst_series_memrelease();
