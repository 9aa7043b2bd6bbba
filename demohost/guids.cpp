// The identifiers of the demo host's type library and of the control it hosts, defined once.
#include <initguid.h>

#include "Brenmoor.h"
#include "DemoHost.h"
