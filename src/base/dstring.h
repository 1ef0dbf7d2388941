// The string type lives in the public header set; this is the include for
// code under src/.
#ifndef ZELTO_BASE_DSTRING_H
#define ZELTO_BASE_DSTRING_H

#include "DString.h"

#endif
