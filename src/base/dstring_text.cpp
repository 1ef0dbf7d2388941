// Text operations of DString: search, cut, split, trim, replace, numbers.
#include "DString.h"

#include "base/vector.h"
