#pragma once

#include <string>
#include <vector>

class QMimeData;

// The local files of a drop, in the order the drag source lists them, as the bytes of their
// names: a name that is not valid UTF-8 still reaches the file.
[[nodiscard]] std::vector<std::string> DroppedFiles(const QMimeData& pData);
// Whether a drag carries at least one local file.
[[nodiscard]] bool HasDroppedFiles(const QMimeData& pData);
