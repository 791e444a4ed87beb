/* outer.h: what the scanner needs */
#include "inner.h"
