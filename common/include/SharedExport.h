// Visibility of what common/ compiles into the shared libraries that is part
// of their interface (the not-initialised exception, the geotag record). The
// libraries are built with hidden visibility; these are exported from each
// library that carries them.
#pragma once

#define CORVANE_SHARED_API __attribute__((visibility("default")))
