#pragma once

#include <string>

// The inspection block tolvane-cli --info prints for one file: every field the readers fill,
// as Record.Field=value lines, then a blank line.
[[nodiscard]] std::string DescribeFile(const std::string& pPath);
