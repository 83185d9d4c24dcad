// The parallel directives of the language ("!kest omp" comments before a statement).
#pragma once

class t_cctx;
struct treeabs;

// Runs `statement` under the directive among its comments, if it has one that applies; false
// when the statement is to run as usual. `result` receives the evaluator's return flag.
bool kst_omp_statement(t_cctx* ctx, int slot, treeabs* statement, int* result);
