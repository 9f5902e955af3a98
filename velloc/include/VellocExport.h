// The library is built with hidden visibility; only what carries this is
// exported.
#pragma once

#define VELLOC_API __attribute__((visibility("default")))
