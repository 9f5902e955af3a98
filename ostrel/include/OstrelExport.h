// The library is built with hidden visibility; only what carries this is
// exported.
#pragma once

#define OSTREL_API __attribute__((visibility("default")))
