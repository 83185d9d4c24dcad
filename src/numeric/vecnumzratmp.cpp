// Vectors of complex GMP rationals: the typed layer instantiated in a translation unit of
// its own, so that the number types compile apart.
#include "numeric/vecnumsum.h"

template class t_vecnumt<t_zratmptype>;
