#pragma once

#include <cstdint>

// Where a figure window believes the tool stands: over pixel (ToolX, ToolY), 1-based, and
// ToolLevel levels below the surface while a border is being cut. Each figure window holds one
// for as long as it is open; its jobs move it and the window shows it.
struct ToolPosition {
    std::int32_t ToolX = 1;
    std::int32_t ToolY = 1;
    std::int32_t ToolLevel = 0;
};
