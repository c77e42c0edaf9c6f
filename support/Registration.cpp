#include "support/Registration.h"

#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/MessageBox.h"

#include <filesystem>

namespace Support {

int RegisterComponent(const std::string& pName, int pUnregister, int pInPlace) {
    int result = 0;
    std::string error;
    // A trapped error ends the steps at once; what was found so far is still reported below.
    Trapped(0, [&] {
        // The registration tool is the runtime's own rescan: always there, so never reported missing.
        const std::string folder = ComponentFolder();
        const std::string inApp = AppFolder() + pName;
        const std::string inSys = folder + pName;
        const bool haveApp = FileExists(inApp) != 0;
        const bool haveSys = FileExists(inSys) != 0;
        if (pUnregister != 0 && !haveSys) {
            result = 1;
            return 0;
        }
        if ((pUnregister == 0 && !haveSys && !haveApp) || (pInPlace != 0 && !haveApp)) {
            error = inApp + "が存在しません";
            return 0;
        }
        const std::string target = pInPlace != 0 ? inApp : inSys;
        const std::string scanned = pInPlace != 0 ? AppFolder() : folder;
        if (pUnregister != 0) {
            // Only removing the file takes a plugin out of the runtime; in place the file stays.
            if (pInPlace == 0 && !DeleteFileSafe(inSys)) {
                error = inSys + " を削除できません";
                return 0;
            }
            InstalledComponentRegistry().Rescan(scanned);
            WaitWithEvents(500, 10);
            result = IsComponentRegistered(pName) == 0 ? 1 : 0;
            return 0;
        }
        if (pInPlace == 0 && !haveSys) {
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
            if (!CopyFileSafe(inApp, target, 0)) {
                error = "コピーできません : " + inApp + " To " + target;
                return 0;
            }
        }
        if (IsComponentRegistered(pName) == 0) {
            (void)ShowMessage(pName + "を登録します", vbInformation, std::string(), nullptr);
            InstalledComponentRegistry().Rescan(scanned);
        }
        if (IsComponentRegistered(pName) == 1)
            result = 1;
        else
            error = pName + "の登録に失敗しました";
        return 0;
    });
    if (!error.empty())
        (void)ShowMessage(error + "\r\n" + pName + "の登録に失敗しました\r\n" +
                              "初回起動時は管理者として実行してみてください",
                          vbCritical, std::string(), nullptr);
    return result;
}

} // namespace Support
