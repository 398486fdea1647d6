#pragma once
// The icon set belongs to the properties dialog, which holds the pictures; the main window
// keeps reaching it by this name.
#include "properties/IconSet.h"
