// The command line prints the result tree with the shared text printer, which
// lives beside the tree so the benchmarks and tests reach it without the tool.
#pragma once

#include "results/tree_text_output.h"
