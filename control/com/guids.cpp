// The one definition of the type library's identifiers, from the header widl writes.
#include <initguid.h>

#include "Brenmoor.h"
