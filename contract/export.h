#pragma once

// The plug-ins are built with hidden visibility; only what the host links against carries this.
#define VANE_EXPORT __attribute__((visibility("default")))
