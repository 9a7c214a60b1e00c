#include "viewer/Unit1.h"
