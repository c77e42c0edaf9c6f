#pragma once

#include <array>
#include <cstdint>

class UC_ListView;

// The file list as the main window shows it: three columns, file, length and format.
struct FileListColumn {
    const char* Caption;
    // Twips.
    std::int32_t Width;
};
inline constexpr std::array<FileListColumn, 3> kFileListColumns{
    {{"ファイル", 3510}, {"長さ", 1140}, {"形式", 2700}}};

// Sets pList up as the file list, with pNumAux hidden values per row, the column strip drawn.
void SetUpFileList(UC_ListView& pList, std::int32_t pNumAux);
