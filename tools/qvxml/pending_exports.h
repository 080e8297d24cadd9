// Exports of the writing road that a library built from an older tree may lack:
// declared weak so the tool still links, and refused at run time when absent.
#pragma once

#include "qvxml.h"

#pragma weak QV_XMAPGetInfo
#pragma weak QV_XMAPToDOM
