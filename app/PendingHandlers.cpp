// Handlers whose commands are not built yet. Each does nothing until its
// subsystem takes it over (and removes it from here).

#include "Upanelsig.h"
