#pragma once

#include "setupfile.h"

// The program-wide display profile of the run. It is ProfileNotChosen until start-up has read
// it from SETUP.INI or the operator has chosen one; the tester window reads it and writes it.
DisplayProfile displayProfile();
void setDisplayProfile(DisplayProfile profile);
