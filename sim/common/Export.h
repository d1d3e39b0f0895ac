#pragma once

// Marks the few functions each library exports; everything else is hidden.
#define VEXOSIM_EXPORT extern "C" __attribute__((visibility("default")))
