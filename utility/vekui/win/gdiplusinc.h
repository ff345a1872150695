// GDI+ for this folder's files: the headers need what the lean Windows
// headers leave out.
#pragma once

#include "utility/vekui/win/winheaders.h"
#include <objidl.h>
#include <propidl.h>

#include <gdiplus.h>

