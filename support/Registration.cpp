#include "support/Registration.h"

#include "support/ErrorTrap.h"
#include "support/FileUtil.h"
#include "support/MessageBox.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace Support {

namespace {

class NoRegistry final : public ComponentRegistry {
public:
    bool WavDestRegistered() override { return false; }
    void Rescan(const std::string&) override {}
};

ComponentRegistry* g_Registry = nullptr;

ComponentRegistry& Registry() {
    static NoRegistry none;
    return g_Registry != nullptr ? *g_Registry : none;
}

void ShowStandardBox(const std::string& pText, int pStyle) {
    // Without a widget application (a command-line program) a box cannot exist; say it anyway.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        std::fprintf(stderr, "%s\n", pText.c_str());
        return;
    }
    ShowMessage(pText, pStyle, std::string(), nullptr);
}

MessageShower& Shower() {
    static MessageShower shower = ShowStandardBox;
    return shower;
}

std::string Lower(const std::string& pText) {
    return QString::fromStdString(pText).toLower().toStdString();
}

} // namespace

void UseComponentRegistry(ComponentRegistry* pRegistry) {
    g_Registry = pRegistry;
}

void UseMessageShower(MessageShower pShower) {
    Shower() = pShower ? std::move(pShower) : MessageShower(ShowStandardBox);
}

int UsesSysWow64() {
    return 0;
}

std::string ComponentFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    // A relative XDG_DATA_HOME is invalid and counts as unset.
    const std::string data = xdg != nullptr && xdg[0] == '/'
                                 ? std::string(xdg)
                                 : std::string(home != nullptr ? home : "") + "/.local/share";
    return SetTrailingSeparator(data, 0) + "gstreamer-1.0/plugins/";
}

int IsComponentRegistered(const std::string& pName) {
    return Trapped(0, [&] {
        if (Lower(pName) != Lower(kWavDestFile)) return 1;
        return Registry().WavDestRegistered() ? 1 : 0;
    });
}

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
            Registry().Rescan(scanned);
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
            Shower()(pName + "を登録します", vbInformation);
            Registry().Rescan(scanned);
        }
        if (IsComponentRegistered(pName) == 1)
            result = 1;
        else
            error = pName + "の登録に失敗しました";
        return 0;
    });
    if (!error.empty())
        Shower()(error + "\r\n" + pName + "の登録に失敗しました\r\n" +
                     "初回起動時は管理者として実行してみてください",
                 vbCritical);
    return result;
}

} // namespace Support
