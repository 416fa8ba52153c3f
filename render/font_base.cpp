#include "render/font_base.h"
