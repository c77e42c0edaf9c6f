#include "controls/FileList.h"

#include "controls/UC_ListView.h"

void SetUpFileList(UC_ListView& pList, std::int32_t pNumAux) {
    pList.NumData(std::int32_t(kFileListColumns.size()));
    pList.NumAux(pNumAux);
    pList.UseUCBar(1);
    pList.Init();
    for (std::int32_t c = 0; c < std::int32_t(kFileListColumns.size()); ++c) {
        pList.TabName(c, kFileListColumns[std::size_t(c)].Caption);
        pList.TabWidth(c, kFileListColumns[std::size_t(c)].Width);
    }
    pList.InitTab();
    pList.ReDrawTab(-1);
}
