// Shared helpers of the series tests: the session context, variables, random series.
#pragma once
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "interp/error.h"

#include "coef/modenum.h"
#include "interp/roomapi.h"
#include "series/polynome.h"
#include "series/variable.h"

t_cctx* testctx();
// x, y, z declared once for the whole run (ranks 1, 2, 3 in that order).
t_variable* var(int i);
// A random series of up to `terms` monomials in x, y, z with degrees up to `maxdeg` and small
// integer coefficients (some negative) in the numeric mode of the context.
coef randomserie(std::mt19937& rng, int terms, int maxdeg);
// Texts of the errors reported since the list was last cleared.
std::vector<std::string>& reported_errors();
// The distributed text of a series (plain dialect, `_affc` 4, one line).
std::string text(const coef& c);
